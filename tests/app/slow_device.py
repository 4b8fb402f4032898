#!/usr/bin/python3
# 'slow_device.py PORT DIR' - A printer on socket://127.0.0.1:PORT that takes
# its data slowly, about 1 MB a second, until the file DIR/fast appears.
# While the file DIR/stall exists, a connection it takes is held and never
# read (DIR/N.stalled for the Nth), and dropped once the file is gone.
# DIR/ready appears when it listens. Each connection's bytes go to DIR/N.part,
# renamed DIR/N.prn when the sender has closed it.
import os
import socket
import sys
import time

port, out = int(sys.argv[1]), sys.argv[2]
server = socket.socket()
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
server.bind(("127.0.0.1", port))
server.listen(4)
open(f"{out}/ready", "w").close()
n = 0
while True:
    connection, _ = server.accept()
    n += 1
    if os.path.exists(f"{out}/stall"):
        open(f"{out}/{n}.stalled", "w").close()
        while os.path.exists(f"{out}/stall"):
            time.sleep(0.05)
        connection.close()
        continue
    part = f"{out}/{n}.part"
    with connection, open(part, "wb") as f:
        while chunk := connection.recv(16384):
            f.write(chunk)
            if not os.path.exists(f"{out}/fast"):
                time.sleep(0.016)
    os.rename(part, f"{out}/{n}.prn")
