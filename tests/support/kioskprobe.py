#!/usr/bin/python3
"""What the kiosk test observes of a running kiosk session (Debian's python3 with python3-xlib).

  kioskprobe.py notify SOCKET LOG   a notification socket as systemd's: every datagram is written
                                    to LOG as "PID EXE MESSAGE" (the sender's credentials, its
                                    newlines as blanks), until killed
  kioskprobe.py pointer DISPLAY     moves the mouse (XTest) and records the requests of every
                                    client that hide or show the pointer (XFixes), printing
                                    "moved", "shown", "hidden" as they come; ends 6 s after the
                                    move
  kioskprobe.py screensaver DISPLAY prints the server's screen saver timeout and state: "TIMEOUT
                                    STATE" (STATE off, on, cycle or disabled)
"""
import os
import socket
import struct
import sys
import threading
import time

from Xlib import X, display
from Xlib.ext import record, screensaver, xtest

XFIXES_HIDE_CURSOR = 29
XFIXES_SHOW_CURSOR = 30


def notify(path, log):
    sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
    if os.path.exists(path):
        os.unlink(path)
    sock.bind(path)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_PASSCRED, 1)
    with open(log, "a", buffering=1) as out:
        while True:
            data, ancillary, _, _ = sock.recvmsg(4096, socket.CMSG_SPACE(12))
            pid = 0
            for level, kind, payload in ancillary:
                if level == socket.SOL_SOCKET and kind == socket.SCM_CREDENTIALS:
                    pid = struct.unpack("iII", payload[:12])[0]
            try:
                exe = os.path.basename(os.readlink("/proc/%d/exe" % pid))
            except OSError:
                exe = "?"
            out.write("%d %s %s\n" % (pid, exe, data.decode(errors="replace").replace("\n", " ").strip()))


def pointer(name):
    control = display.Display(name)
    recorder = display.Display(name)
    fixes = control.query_extension("XFIXES").major_opcode
    context = recorder.record_create_context(0, [record.AllClients], [{
        "core_requests": (0, 0), "core_replies": (0, 0),
        "ext_requests": (fixes, fixes, 0, 255), "ext_replies": (0, 0, 0, 0),
        "delivered_events": (0, 0), "device_events": (0, 0), "errors": (0, 0),
        "client_started": False, "client_died": False}])

    def seen(reply):
        if reply.category != record.FromClient:
            return
        data = reply.data
        while len(data) >= 4:
            major, minor, length = data[0], data[1], struct.unpack("=H", data[2:4])[0]
            if major == fixes and minor == XFIXES_SHOW_CURSOR:
                print("shown", flush=True)
            elif major == fixes and minor == XFIXES_HIDE_CURSOR:
                print("hidden", flush=True)
            data = data[max(4, 4 * length):]

    threading.Thread(target=recorder.record_enable_context, args=(context, seen), daemon=True).start()
    time.sleep(0.5)
    screen = control.screen()
    print("moved", flush=True)
    for x, y in ((100, 100), (300, 200), (500, 300)):
        xtest.fake_input(control, X.MotionNotify, x=x, y=y, root=screen.root)
        control.sync()
        time.sleep(0.05)
    time.sleep(6)
    control.record_disable_context(context)
    control.sync()


def screen_saver(name):
    d = display.Display(name)
    timeout = d.get_screen_saver().timeout
    state = {screensaver.StateOff: "off", screensaver.StateOn: "on", screensaver.StateCycle: "cycle", 3: "disabled"}
    info = d.screen().root.screensaver_query_info()
    print(timeout, state.get(info.state, str(info.state)))


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "notify" and len(sys.argv) == 4:
        notify(sys.argv[2], sys.argv[3])
    elif command == "pointer" and len(sys.argv) == 3:
        pointer(sys.argv[2])
    elif command == "screensaver" and len(sys.argv) == 3:
        screen_saver(sys.argv[2])
    else:
        sys.exit(__doc__)
