#!/usr/bin/env python3
"""Runs a build's registered tests from the list its test tool wrote
(`ctest --show-only=json-v1`), with each test's command, environment and
working directory, one at a time: the virtual machine has no test tool of its
own. Prints one line per test and exits non-zero when any failed.

run_tests.py LIST.json [--exclude NAME]... [--timeout SECONDS]
"""
import json
import os
import shutil
import subprocess
import sys
import time


def main(argv):
    path, exclude, timeout = argv[1], set(), 900
    i = 2
    while i < len(argv):
        if argv[i] == "--exclude":
            exclude.add(argv[i + 1])
            i += 2
        elif argv[i] == "--timeout":
            timeout = int(argv[i + 1])
            i += 2
        else:
            sys.exit("run_tests.py: unknown argument " + argv[i])
    with open(path, encoding="utf-8") as f:
        tests = json.load(f)["tests"]
    failed = []
    for test in tests:
        name = test["name"]
        if name in exclude:
            continue
        props = {p["name"]: p["value"] for p in test.get("properties", [])}
        env = dict(os.environ)
        for item in props.get("ENVIRONMENT", []):
            key, _, value = item.partition("=")
            env[key] = value
        skip = props.get("SKIP_RETURN_CODE")
        command = list(test["command"])
        # The build recorded the host's own interpreters (say, a python3 of
        # the user's); the machine has its own of the same name.
        if command and not os.path.exists(command[0]):
            command[0] = shutil.which(os.path.basename(command[0])) or command[0]
        start = time.monotonic()
        try:
            done = subprocess.run(command, cwd=props.get("WORKING_DIRECTORY"), env=env,
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                  timeout=props.get("TIMEOUT", timeout))
            code, output = done.returncode, done.stdout
        except subprocess.TimeoutExpired as e:
            code, output = "timeout", e.stdout or b""
        except OSError as e:
            code, output = "not started", str(e).encode()
        took = time.monotonic() - start
        if code == 0 or (skip is not None and code == skip):
            print(f"  ok   {name} ({took:.1f} s){' skipped' if code else ''}", flush=True)
        else:
            failed.append(name)
            print(f"  FAIL {name} ({took:.1f} s, exit {code})", flush=True)
            sys.stdout.write(output.decode("utf-8", "replace")[-6000:])
    print(f"{len(failed)} of the test programs failed" + (": " + " ".join(failed) if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
