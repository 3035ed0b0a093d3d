// Program icon and pointer resources are registered through the resource system.
