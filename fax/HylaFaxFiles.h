#pragma once

// The names of HylaFAX's programs and folders, known here once: the program sends through the
// client, and the tests start a server and look into its queue. Debian's packages put them
// here (hylafax-client: the client programs on the PATH; hylafax-server: the rest).

namespace velmora::hylafax {

// The client's programs, found on the PATH.
inline constexpr char kSendFax[] = "sendfax";  // submits documents as a job
inline constexpr char kFaxStat[] = "faxstat";  // lists the server's jobs (-s)
inline constexpr char kFaxRm[] = "faxrm";      // removes a job

// The server's check of a TIFF it is given: "OK", or what it would have to change.
inline constexpr char kTiffCheck[] = "/usr/lib/hylafax/bin/tiffcheck";
// The server's start script, for a system without systemd (it refuses to run under systemd,
// which starts the unit instead), and its spool: a job's queue file is sendq/q<job>, its
// documents are in docq/.
inline constexpr char kServerScript[] = "/etc/init.d/hylafax";
inline constexpr char kServerUnit[] = "hylafax.service";
inline constexpr char kSpoolFolder[] = "/var/spool/hylafax";

// The environment variable naming the server the client uses when none is given.
inline constexpr char kServerVariable[] = "FAXSERVER";
inline constexpr char kDefaultServer[] = "localhost";

}  // namespace velmora::hylafax
