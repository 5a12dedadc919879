#!/usr/bin/env python3
"""Serves the demo skin on loopback, where the shell's built-in URL points:
http://127.0.0.53/demo/korvane.xml (port 80 needs root)."""
import argparse
import functools
import http.server
import os


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.53")
    parser.add_argument("--port", type=int, default=80)
    args = parser.parse_args()
    if not args.address.startswith("127."):
        parser.error("the demo server only listens on loopback")
    root = os.path.dirname(os.path.abspath(__file__))

    class Handler(http.server.SimpleHTTPRequestHandler):
        def translate_path(self, path):
            # /demo/NAME is served from demo/skin/NAME.
            path = path.split("?", 1)[0]
            if path.startswith("/demo/"):
                return os.path.join(root, "skin", os.path.basename(path))
            return os.path.join(root, "skin", "missing")

        def log_message(self, fmt, *a):
            print("demo server:", fmt % a, flush=True)

    server = http.server.ThreadingHTTPServer((args.address, args.port), Handler)
    print(f"demo server: http://{args.address}:{args.port}/demo/korvane.xml", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
