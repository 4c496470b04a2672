#!/usr/bin/env python3
"""Velmora in tmux on a network file whose local computer is real: the fake
host serves it over SMB with the account of an authentication file. The job
list comes from the host, a job added and deleted from the keyboard reaches
the host's store, and an authentication file others may read stops the start
with a message saying so.

    end_to_end_real.py VELMORA
"""
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "frontends", "terminal"))
from end_to_end import Failure, Session, WAIT_SECONDS, add_next_wednesday_evening  # noqa: E402

FAKE_HOST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fake_host.py")


def start_fake_host(network, password):
    fake = subprocess.Popen(["/usr/bin/python3", FAKE_HOST, "--network", network, "--user", "operator",
                             "--password", password], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    line = fake.stdout.readline()
    if not line.startswith("ready "):
        fake.kill()
        raise Failure("the fake host did not start")
    return fake, int(line.split()[1])


def write_network(path, credentials, port):
    with open(path, "w", encoding="utf-8") as f:
        f.write("credentials %s\n"
                "local REALPC\n"
                "computer SIMPC\n"
                "computer REALPC real address=127.0.0.1 port=%d privacy=none timeout=10\n"
                "job REALPC id=3 at=19:00 flags=0x01 dow=0x15 cmd=\"real backup.cmd\"\n" % (credentials, port))


def add_and_delete(s, network):
    s.wait_for("ｽｹｼﾞｭｰﾙｻｰﾋﾞｽは動作中です。", "real backup.cmd", "REALPC")
    add_next_wednesday_evening(s, "over smb.cmd")
    s.wait_for("over smb.cmd")
    with open(network, encoding="utf-8") as f:
        stored = [l for l in f.read().splitlines() if "over smb.cmd" in l]
    if len(stored) != 1 or not re.match(r'job REALPC id=4 at=19:30 .*dow=0x4 ', stored[0]):
        raise Failure("the host stores %r" % stored)
    s.keys("Tab", "Tab", "End", "M-r")
    s.wait_for("削除してもよろしいですか")
    s.keys("y")
    # The box may cover the row: wait for it to go, then for the row.
    s.wait_for("削除してもよろしいですか", gone=True)
    s.wait_for("over smb.cmd", gone=True)
    s.wait_for("real backup.cmd")
    with open(network, encoding="utf-8") as f:
        if "over smb.cmd" in f.read():
            raise Failure("the deleted job is still stored on the host")
    s.keys("M-x")
    code = s.wait_exit()
    if code != 0:
        raise Failure("velmora ended with %d" % code)


def readable_credentials(velmora, workdir, network, credentials):
    os.chmod(credentials, 0o644)
    env = dict(os.environ, VELMORA_NETWORK=network, XDG_STATE_HOME=workdir)
    result = subprocess.run([velmora], env=env, capture_output=True, text=True, timeout=WAIT_SECONDS,
                            stdin=subprocess.DEVNULL)
    if result.returncode == 0 or "chmod 600 " + credentials not in result.stderr:
        raise Failure("velmora started or said %r with an authentication file others may read" % result.stderr)
    if "s3cret" in result.stderr:
        raise Failure("the message shows the password")


def main():
    velmora = sys.argv[1]
    workdir = tempfile.mkdtemp(prefix="velmora-real-e2e-")
    network = os.path.join(workdir, "network")
    credentials = os.path.join(workdir, "credentials")
    password = "s3cret words"
    fd = os.open(credentials, os.O_WRONLY | os.O_CREAT, 0o600)
    os.write(fd, ("username=operator\npassword=%s\n" % password).encode())
    os.close(fd)
    open(network, "w").close()
    fake, port = None, 0
    session = None
    try:
        fake, port = start_fake_host(network, password)
        write_network(network, credentials, port)
        session = Session(velmora, network, workdir)
        add_and_delete(session, network)
        session.close()
        session = None
        readable_credentials(velmora, workdir, network, credentials)
    except (Failure, subprocess.TimeoutExpired) as e:
        print("FAIL real-computer: %s" % e)
        return 1
    finally:
        if session is not None:
            session.close()
        if fake is not None:
            fake.kill()
            fake.wait()
        shutil.rmtree(workdir, ignore_errors=True)
    print("PASS real-computer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
