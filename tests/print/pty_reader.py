#!/usr/bin/env python3
"""pty_reader.py - a pseudo-terminal behind the prefix's serial and parallel
devices for the printer file tests. Wine takes a tty behind dosdevices for a
serial line, so the client's COM and LPT writes arrive here. Everything read
goes to DIR/pty.bin; while DIR/pty.pause exists nothing is read, so the
writer's side fills up and its writes time out. DIR/pty.ready tells the
wrapper that the links are in place; it holds the pseudo-terminal's name.

Usage: pty_reader.py DIR LINK...
"""
import os
import pty
import select
import sys
import time
import tty


def main():
    folder = sys.argv[1]
    master, slave = pty.openpty()
    tty.setraw(slave)  # bytes pass unchanged: no CR added, no echo
    name = os.ttyname(slave)
    for link in sys.argv[2:]:
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(name, link)
    pause = os.path.join(folder, "pty.pause")
    with open(os.path.join(folder, "pty.bin"), "ab", buffering=0) as out:
        with open(os.path.join(folder, "pty.ready.part"), "w") as ready:
            ready.write(name)
        os.replace(os.path.join(folder, "pty.ready.part"), os.path.join(folder, "pty.ready"))
        while True:
            if os.path.exists(pause):
                time.sleep(0.02)
                continue
            ready, _, _ = select.select([master], [], [], 0.02)
            if ready:
                try:
                    out.write(os.read(master, 65536))
                except OSError:
                    time.sleep(0.02)


if __name__ == "__main__":
    main()
