#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Velmora's speed, measured from fresh processes and reported, never judged.

  start-up      `velmora --version` on a network of simulated computers only:
                the shared libraries it maps and the CPU time it spends
  network-file  the CPU time of one `network_client list` and of one add
                (`network_client add PC01 1 TAG`) on network files of 1,000,
                10,000 and 100,000 jobs, beyond the same call on an empty
                network

Each figure is the minimum, median and maximum of --runs runs (CPU time is
user plus system, from the kernel's accounting of the finished child). The
programs are taken from a built tree (build/linux by default); build them
first: cmake --build --preset linux --target velmora network_client.

Usage: scripts/benchmark.py [start-up] [network-file] [--runs N] [--build DIR]
"""
import argparse
import os
import re
import resource
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZES = (1000, 10000, 100000)


def run_cpu(argv, env, stdin=None):
    """CPU milliseconds (user + system) one finished child spent."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(argv, env=env, stdin=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return ((after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)) * 1000.0


def spread(values):
    return "%7.1f %7.1f %7.1f" % (min(values), statistics.median(values), max(values))


def write_network(path, jobs):
    """A network of one computer, PC01, with `jobs` stored jobs."""
    with open(path, "w", encoding="utf-8") as out:
        out.write("# benchmark network\nlocal PC01\ncomputer PC01\n")
        for i in range(1, jobs + 1):
            out.write('job PC01 id=%d at=%02d:%02d dow=0x%x cmd="backup-%d.cmd /quiet"\n'
                      % (i, i % 24, i % 60, 1 + i % 127, i))
    # What a file looks like between a person's actions: changed a moment
    # ago, not within the last tick of the file system's clock (a file that
    # was, may still change unseen, so each call would read it again).
    time.sleep(0.2)


def start_up(build, runs):
    velmora = os.path.join(build, "frontends/terminal/velmora")
    with tempfile.TemporaryDirectory() as work:
        network = os.path.join(work, "network")
        with open(network, "w") as out:
            out.write("local PC01\ncomputer PC01\ncomputer PC02 service=stopped\n")
        env = dict(os.environ, VELMORA_NETWORK=network)
        # Every object the dynamic loader brings in, the program itself and
        # the loader included, as the loader reports them.
        trace = subprocess.run([velmora, "--version"], env=dict(env, LD_DEBUG="files"), capture_output=True,
                               text=True, check=True).stderr
        objects = set(re.findall(r"file=(\S+) \[0\];  generating link map", trace))
        cpu = [run_cpu([velmora, "--version"], env) for _ in range(runs)]
    print("start-up: velmora --version, simulated computers only")
    print("  shared libraries mapped: %d (with the program and the loader: %d)" % (len(objects), len(objects) + 2))
    print("  CPU ms (min median max): %s" % spread(cpu))


def network_file(build, runs):
    client = os.path.join(build, "tests/shared_network/network_client")
    print("network file: CPU ms per call beyond the same call on an empty network (min median max)")
    print("%8s  %23s  %23s" % ("jobs", "list", "add"))
    with tempfile.TemporaryDirectory() as work:
        network = os.path.join(work, "network")

        def measure(jobs):
            lists, adds = [], []
            for _ in range(runs):
                write_network(network, jobs)
                env = dict(os.environ, VELMORA_NETWORK=network)
                lists.append(run_cpu([client, "list", "PC01"], env))
                adds.append(run_cpu([client, "add", "PC01", "1", "bench"], env))
            return lists, adds

        empty_list, empty_add = measure(0)
        base_list, base_add = statistics.median(empty_list), statistics.median(empty_add)
        print("%8d  %23s  %23s   (absolute)" % (0, spread(empty_list), spread(empty_add)))
        for jobs in SIZES:
            lists, adds = measure(jobs)
            print("%8d  %23s  %23s" % (jobs, spread([v - base_list for v in lists]),
                                       spread([v - base_add for v in adds])))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("what", nargs="*", help="start-up, network-file (both by default)")
    parser.add_argument("--runs", type=int, default=11)
    parser.add_argument("--build", default=os.path.join(ROOT, "build/linux"))
    args = parser.parse_args()
    what = args.what or ["start-up", "network-file"]
    if "start-up" in what:
        start_up(args.build, args.runs)
    if "network-file" in what:
        network_file(args.build, args.runs)
    return 0


if __name__ == "__main__":
    sys.exit(main())
