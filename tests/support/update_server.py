#!/usr/bin/env python3
"""A small update server for the tests: serves a folder over HTTP on
127.0.0.1 (never another address) on a port the system picks, and prints
"PORT <n>" once it listens. Optionally sends matching files slowly, so a
client can be stopped part way. Stops by itself after a time limit."""
import argparse
import functools
import http.server
import os
import sys
import threading
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    throttle = 0           # bytes per second for throttled files; 0 = full speed
    throttle_suffix = ".zip"
    request_log = None

    def copyfile(self, source, outputfile):
        if not self.throttle or not self.path.endswith(self.throttle_suffix):
            return super().copyfile(source, outputfile)
        chunk = max(1, self.throttle // 20)
        try:
            while True:
                data = source.read(chunk)
                if not data:
                    return
                outputfile.write(data)
                outputfile.flush()
                time.sleep(len(data) / self.throttle)
        except (BrokenPipeError, ConnectionResetError):
            pass  # the client gave up: that is what a throttled test wants

    def send_head(self):
        if self.request_log:
            with open(self.request_log, "a") as log:
                log.write(f"{self.command} {self.path} {self.headers.get('User-Agent', '')}\n")
        return super().send_head()

    def log_message(self, format, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--root", required=True, help="folder to serve")
    parser.add_argument("--throttle", type=int, default=0,
                        help="send files ending in --throttle-suffix at this many bytes/s")
    parser.add_argument("--throttle-suffix", default=".zip")
    parser.add_argument("--time-limit", type=float, default=120.0,
                        help="seconds after which the server stops by itself")
    parser.add_argument("--log", help="append one line per request to this file")
    args = parser.parse_args()

    Handler.throttle = args.throttle
    Handler.throttle_suffix = args.throttle_suffix
    Handler.request_log = os.path.abspath(args.log) if args.log else None
    handler = functools.partial(Handler, directory=os.path.abspath(args.root))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    server.daemon_threads = True
    timer = threading.Timer(args.time_limit, server.shutdown)
    timer.daemon = True
    timer.start()
    print(f"PORT {server.server_address[1]}", flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
