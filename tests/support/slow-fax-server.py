#!/usr/bin/env python3
"""A stand-in for a HylaFAX server that takes its time over taking a fax: it speaks enough of
the client protocol for a client to hand a fax over, and notes what happened to NOTES:
"started" when a client connects, "submitted" when it queues a job (JSUBM). The document's
upload is answered only after DELAY seconds, so a client given up meanwhile never queues it.
With FLOOD, a job list never ends: line after line until the client hangs up.

    slow-fax-server.py PORT_FILE NOTES DELAY [FLOOD]

Listens on 127.0.0.1 at a port of its own, written to PORT_FILE; serves clients until killed.
"""
import socket
import sys
import threading
import time

port_file, notes, delay = sys.argv[1], sys.argv[2], float(sys.argv[3])
flood = len(sys.argv) > 4 and sys.argv[4] == "FLOOD"


def note(what):
    with open(notes, "a") as f:
        f.write(what + "\n")


def serve(conn):
    f = conn.makefile("rwb", buffering=0)

    def say(line):
        f.write((line + "\r\n").encode())

    data_listener = None
    jobs = 0
    note("started")
    say("220 slow server ready.")
    try:
        for raw in f:
            words = raw.decode(errors="replace").strip()
            verb = words.split(" ", 1)[0].upper()
            if verb == "USER":
                say("230 User logged in.")
            elif verb in ("TYPE", "FORM", "JOBFMT"):
                say("200 OK.")
            elif verb == "PASV":
                data_listener = socket.socket()
                data_listener.bind(("127.0.0.1", 0))
                data_listener.listen(1)
                p = data_listener.getsockname()[1]
                say("227 Entering passive mode (127,0,0,1,%d,%d)" % (p // 256, p % 256))
            elif verb == "STOT":
                data, _ = data_listener.accept()
                say("150 FILE: /tmp/doc1.tif (Opening new data connection).")
                while data.recv(65536):
                    pass
                data.close()
                time.sleep(delay)
                say("226 Transfer complete (FILE: /tmp/doc1.tif).")
            elif verb == "LIST":
                data, _ = data_listener.accept()
                say("150 Opening new data connection.")
                line = b"7\t7\troot\tW\t0:1\t0:12\t0:3\t0\t5550100\tA\tB\t" + b"x" * 200 + b"\r\n"
                try:
                    while flood:
                        data.sendall(line * 512)
                except OSError:
                    pass
                data.close()
                say("226 Transfer complete.")
            elif verb == "JNEW":
                jobs += 1
                say("200 New job created: jobid: %d groupid: %d." % (11 + jobs, 11 + jobs))
            elif verb == "JPARM":
                say("213 Set.")
            elif verb == "JSUBM":
                note("submitted")
                say("200 Job submitted.")
            elif verb == "QUIT":
                say("221 Goodbye.")
                break
            else:
                say("500 %s: Command not recognized." % verb)
    except OSError:
        pass
    finally:
        conn.close()


listener = socket.socket()
listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
listener.bind(("127.0.0.1", 0))
listener.listen(8)
with open(port_file + ".new", "w") as f:
    f.write(str(listener.getsockname()[1]))
import os
os.rename(port_file + ".new", port_file)
while True:
    connection, _ = listener.accept()
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
