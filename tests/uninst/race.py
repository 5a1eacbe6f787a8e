#!/usr/bin/env python3
"""The uninstaller's removal against an attacker who swaps a folder of the
install directory for a link to another folder (and single files for links
to files there) while it runs: 1,000 removals. Checking by name and deleting
by name lost 79 of the other folder's files to such a racer. Each removal now
opens, checks and deletes through one handle, so on Windows none can be lost;
Wine, though, carries the delete out by name when the handle closes (it
checks the file is still the same one, then unlinks), and a racer that swaps
the folder between those two steps of the server still wins, a few times in
a thousand at most. More than that means our own checks let something
through. Usage: race.py RACE_EXE WINE_RUN WORK_DIR"""
import os, shutil, subprocess, sys, threading

exe, wine_run, work = sys.argv[1:4]
N = 1000
work = os.path.realpath(work)
shutil.rmtree(work, ignore_errors=True)
inst, victim = os.path.join(work, "inst"), os.path.join(work, "victim")
os.makedirs(os.path.join(inst, "d"))
os.makedirs(victim)
for i in range(N):
    for folder in (os.path.join(inst, "d"), victim):
        with open(os.path.join(folder, f"f{i}"), "w") as f:
            f.write("x")

stop = threading.Event()
swaps = 0

def racer():
    global swaps
    d, hidden = os.path.join(inst, "d"), os.path.join(inst, "d.real")
    i = 0
    while not stop.is_set():
        try:
            # The folder for a link to the victim, then back.
            os.rename(d, hidden)
            os.symlink(victim, d)
            os.unlink(d)
            os.rename(hidden, d)
            # One of its files for a link to the victim's file of that name.
            f = os.path.join(d, f"f{i % N}")
            if os.path.exists(f):
                os.rename(f, f + ".real")
                os.symlink(os.path.join(victim, f"f{i % N}"), f)
                os.unlink(f)
                os.rename(f + ".real", f)
            swaps += 1
            i += 7
        except OSError:
            pass

t = threading.Thread(target=racer)
t.start()
root = "Z:" + inst.replace("/", "\\")
r = subprocess.run([wine_run, exe, root, str(N)], capture_output=True, text=True, timeout=600)
stop.set()
t.join()
print(r.stdout.strip(), f"(swaps {swaps})")
lost = [f for f in (f"f{i}" for i in range(N)) if not os.path.exists(os.path.join(victim, f))]
if r.returncode != 0:
    print("race program failed:", r.returncode, r.stderr[-2000:])
    sys.exit(1)
WINE_DEFERRED_DELETE_WINDOW = 5
if lost:
    print(f"{len(lost)} files of the other folder lost in Wine's deferred delete: {lost[:5]}")
if len(lost) > WINE_DEFERRED_DELETE_WINDOW:
    print(f"FAIL: {len(lost)} files outside the install directory deleted, e.g. {lost[:5]}")
    sys.exit(1)
if not r.stdout.startswith("deleted ") or r.stdout.startswith("deleted 0 "):
    print("FAIL: nothing was deleted: the race proves nothing")
    sys.exit(1)
shutil.rmtree(work, ignore_errors=True)
print("ok")
