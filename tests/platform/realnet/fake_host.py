#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A stand-in Windows NT host for the real network backend's tests: ATSvc, svcctl and wkssvc as named pipes of an SMB2
server on 127.0.0.1 (python3-impacket), for one NTLM user. Its computers, services and jobs are a network file's, kept
under the file's lock by the simulated network's rules; a call names its computer by its server name. "ready PORT SILENT
GARBAGE ENDLESS PID" on stdout tells that it listens, and on which ports three broken hosts do (see misbehaving)."""
import argparse
import copy
import datetime
import fcntl
import itertools
import logging
import os
import re
import signal
import socket
import struct
import tempfile
import threading
import time

from impacket import smbserver
from impacket.dcerpc.v5 import atsvc, scmr, wkst
from impacket.dcerpc.v5.dtypes import NULL
from impacket.dcerpc.v5.rpcrt import MSRPC_FAULT, PFC_FIRST_FRAG, PFC_LAST_FRAG, DCERPCServer, MSRPCRespHeader
from impacket.ntlm import compute_lmhash, compute_nthash

SUCCESS, ACCESS_DENIED, INVALID_HANDLE, NOT_SUPPORTED, BAD_NETPATH, INVALID_PARAMETER = 0, 5, 6, 50, 53, 87
INVALID_SERVICE_CONTROL, MS_PER_DAY = 1052, 86400000

# The service controller's states and the LAN Manager status words.
STOPPED, START_PENDING, STOP_PENDING, RUNNING, CONTINUE_PENDING, PAUSE_PENDING, PAUSED = range(1, 8)
WORDS = {"running": 0x33, "stopped": 0x00, "paused": 0x3F}

# A token: an optional key=, then a quoted string or a bare word.
TOKEN = re.compile(r'([^ \t\r="]+=)?(?:"((?:[^"\\]|\\.)*)"|([^ \t\r"]*))')


def lex(line):
    """The tokens of a statement line: (key, value, quoted) triples."""
    if line.lstrip(" \t").startswith("#"):
        return []
    tokens = []
    for m in TOKEN.finditer(line):
        if m.group(0):
            quoted = m.group(2) is not None
            unquoted = re.sub(r"\\(.)", lambda e: "\n" if e.group(1) == "n" else e.group(1), m.group(2) or "")
            tokens.append(((m.group(1) or "=")[:-1], unquoted if quoted else m.group(3), quoted))
    return tokens


def quote(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n") + '"'


def number(text):
    return int(text, 16) if text.lower().startswith("0x") else int(text)


def status_word(text):
    return WORDS[text] if text in WORDS else number(text)


def parse_time(text):
    main, _, fraction = text.partition(".")
    parts = [int(p) for p in main.split(":")] + [0]
    return ((parts[0] * 60 + parts[1]) * 60 + parts[2]) * 1000 + (int(fraction) if fraction else 0)


def format_time(ms):
    h, m, s, f = ms // 3600000, ms // 60000 % 60, ms // 1000 % 60, ms % 1000
    return "%02d:%02d:%02d.%03d" % (h, m, s, f) if f else "%02d:%02d:%02d" % (h, m, s) if s else "%02d:%02d" % (h, m)


class Computer:
    def __init__(self, name, tokens):
        self.name = name
        self.tokens = tokens  # the computer line, kept as written
        given = {key: value for key, value, _ in tokens[2:]}
        self.status = status_word(given.get("service", "running"))
        self.platform = number(given.get("platform", "500"))
        self.service, self.jobs, self.highest = {}, {}, 0  # service: start=, continue=, pending=, lastid=


class Network:
    """The statements of a network file that the fake host acts on; the others are written back as they were."""

    def __init__(self, text):
        self.header, self.others, self.computers, self.clock = [], [], {}, None
        in_header = True
        for line in text.splitlines():
            tokens = lex(line)
            if not tokens:
                if in_header:
                    self.header.append(line)
                continue
            in_header = False
            word = tokens[0][1]
            if word == "computer":
                self.computers[tokens[1][1].upper()] = Computer(tokens[1][1].upper(), tokens)
            elif word == "service":
                c = self.computers[tokens[1][1].upper()]
                for key, value, _ in tokens[2:]:
                    if key == "state":
                        c.status = status_word(value)
                    else:
                        c.service[key] = number(value)
                c.highest = max(c.highest, c.service.get("lastid", 0))
            elif word == "job":
                c = self.computers[tokens[1][1].upper()]
                job = {"flags": 0, "dow": 0, "dom": 0}
                for key, value, _ in tokens[2:]:  # at= is a time of day, time= the raw record
                    job["time" if key == "at" else key] = {"cmd": str, "at": parse_time}.get(key, number)(value)
                c.jobs[job["id"]] = job
                c.highest = max(c.highest, job["id"])
            else:
                if word == "clock":
                    seconds = ":%S" if tokens[2][1].count(":") == 2 else ""
                    self.clock = datetime.datetime.strptime(tokens[1][1] + " " + tokens[2][1], "%Y-%m-%d %H:%M" + seconds)
                self.others.append(line)

    def now(self):
        return self.clock or datetime.datetime.now()

    def text(self):
        out = list(self.header) + list(self.others)
        for c in self.computers.values():
            words = [(key + "=" if key else "") + (quote(value) if quoted else value)
                     for key, value, quoted in c.tokens if key != "service"]
            out.append(" ".join(words + ["service=0x%x" % c.status]))
            service = {key: value for key, value in c.service.items() if key != "lastid"}
            if c.highest > max(c.jobs, default=0):  # an id the jobs held do not tell
                service["lastid"] = c.highest
            if service:
                out.append("service %s %s" % (c.name, " ".join("%s=%d" % kv for kv in service.items())))
            for jid in sorted(c.jobs):
                j = c.jobs[jid]
                when = "at=" + format_time(j["time"]) if j["time"] < MS_PER_DAY else "time=%d" % j["time"]
                days = "".join(" %s=0x%x" % (key, j[key]) for key in ("flags", "dow", "dom") if j[key])
                out.append("job %s id=%d %s%s cmd=%s" % (c.name, jid, when, days, quote(j["cmd"])))
        return "\n".join(out) + "\n"


class Store:
    """The network file, used as Velmora does: a lock on FILE.lock, a fresh reading, an atomic replacement."""

    def __init__(self, path):
        self.path = path
        self.pending = {}  # (generation, computer) -> [queries left, word]

    def run(self, body):
        with open(self.path + ".lock", "a") as lock:
            # Velmora's lock: an open-file-description lock on its first byte.
            fcntl.fcntl(lock, fcntl.F_OFD_SETLKW, struct.pack("@hhqqi4x", fcntl.F_WRLCK, os.SEEK_SET, 0, 1, 0))
            text = open(self.path, encoding="utf-8").read()
            network = Network(text)
            result = body(network)
            if network.text() != Network(text).text():  # changed
                fd, temp = tempfile.mkstemp(dir=os.path.dirname(os.path.abspath(self.path)))
                with os.fdopen(fd, "w", encoding="utf-8") as f:
                    f.write(network.text())
                os.chmod(temp, os.stat(self.path).st_mode & 0o7777)
                os.replace(temp, self.path)
            return result

    def pending_of(self, network, name):
        return self.pending.setdefault(("\n".join(network.header), name), [0, 0])


def computer_of(network, server):
    name = ("" if server in (NULL, None) else str(server)).rstrip("\x00").lstrip("\\").upper()
    return network.computers.get(name)


def flags_of(job, now):
    """The job's flags as listed: JOB_RUNS_TODAY (0x04) when it runs later today; a job with no days runs once."""
    now_ms = ((now.hour * 60 + now.minute) * 60 + now.second) * 1000 + now.microsecond // 1000
    today = job["dow"] & (1 << now.weekday()) or job["dom"] & (1 << (now.day - 1))
    return job["flags"] | (0x04 if job["time"] > now_ms and (today or not (job["dow"] or job["dom"])) else 0)


class Fault(Exception):
    """A call's handler raises it with the fault code the call is answered with."""


class Base(DCERPCServer):
    def __init__(self, store, uuid, pipe, callbacks):
        DCERPCServer.__init__(self)  # bound to a free port of 127.0.0.1
        self.store, self.daemon = store, True
        self._listenPort = self._sock.getsockname()[1]
        self.addCallbacks(uuid, pipe, callbacks)

    def run(self):
        # A thread per pipe connection (impacket serves one at a time): a hung call holds up no other.
        self._sock.listen(10)
        while True:
            handler = copy.copy(self)
            handler._clientSock = self._sock.accept()[0]
            threading.Thread(target=handler.serve, daemon=True).start()

    def serve(self):
        try:
            while (data := self.recv()) is not None:
                answer = self.processRequest(data)
                if answer is not None:
                    self.send_fragments(answer)
        except OSError:
            pass  # the client is gone, or a dropped call (--drop-enum) ends the connection
        except Exception:
            logging.exception("fake_host: a connection failed")
        self._clientSock.close()

    def processRequest(self, data):
        try:
            return DCERPCServer.processRequest(self, data)
        except Fault as fault:  # a fault PDU: its code, then a reserved word
            answer = MSRPCRespHeader(data)
            answer["type"], answer["pduData"] = MSRPC_FAULT, struct.pack("<LL", fault.args[0], 0)
            return answer

    def bind(self, packet, bind):
        if options.hang_svcctl_bind and isinstance(self, Svcctl):
            time.sleep(3600)
        if isinstance(self, Svcctl) and options.drop_svcctl_binds > 0:
            options.drop_svcctl_binds -= 1
            raise ConnectionAbortedError()
        # The client's receive size: no reply fragment may be longer.
        self.max_fragment = min(bind["max_rfrag"], bind["max_tfrag"])
        return DCERPCServer.bind(self, packet, bind)

    def send_fragments(self, answer):
        """Sends a reply in fragments of at most the negotiated size, each with its own length (not the whole's)."""
        body = answer["pduData"].getData() if hasattr(answer["pduData"], "getData") else answer["pduData"]
        room = (getattr(self, "max_fragment", 4280) - MSRPCRespHeader._SIZE) & ~7
        for offset in range(0, len(body), room) or [0]:  # an empty body is one fragment
            fragment = MSRPCRespHeader()
            for key in ("type", "call_id", "ctx_id"):
                fragment[key] = answer[key]
            fragment["alloc_hint"] = len(body) - offset
            fragment["flags"] = (PFC_FIRST_FRAG if offset == 0 else 0) | (PFC_LAST_FRAG if offset + room >= len(body) else 0)
            fragment["pduData"] = body[offset:offset + room]
            self._clientSock.sendall(fragment.getData())


def call(request, response):
    """A handler of the pipe's calls: method(self, req, ans) returns the error code."""
    def wrap(method):
        def handler(self, data):
            req, ans = request(data), response()
            ans["ErrorCode"] = method(self, req, ans)
            return ans
        return handler
    return wrap


class ATSvc(Base):
    def __init__(self, store):
        Base.__init__(self, store, ("1FF70682-0A51-30E8-076D-740BE8CEE98B", "1.0"), "\\PIPE\\atsvc",
                      {0: self.add, 1: self.delete, 2: self.enum, 3: self.get_info})
        self.enums = 0

    def on(self, server, body):
        """Runs body(network, computer) for the computer named, after the checks every call makes."""
        def checked(network):
            c = computer_of(network, server)
            if c is None and not options.refuse_atsvc:
                return BAD_NETPATH
            if options.refuse_atsvc or c.platform != 500:
                return NOT_SUPPORTED
            if (c.status & 0x03) != 0x03:  # the service does not run
                return 2184  # NERR_ServiceNotInstalled
            return body(network, c)
        return self.store.run(checked)

    @call(atsvc.NetrJobAdd, atsvc.NetrJobAddResponse)
    def add(self, req, ans):
        info = req["pAtInfo"]
        cmd = "" if info["Command"] in (NULL, None) else str(info["Command"]).rstrip("\x00")

        def body(network, c):
            if info["JobTime"] >= MS_PER_DAY or info["DaysOfMonth"] & 0x80000000 or info["DaysOfWeek"] & 0x80 or not cmd:
                return INVALID_PARAMETER
            if c.highest == 0xFFFFFFFF:
                return 2140  # NERR_InternalError
            c.highest += 1
            # Kept: JOB_RUN_PERIODICALLY and JOB_NONINTERACTIVE.
            c.jobs[c.highest] = {"id": c.highest, "time": info["JobTime"], "dom": info["DaysOfMonth"],
                                 "dow": info["DaysOfWeek"], "flags": info["Flags"] & 0x11, "cmd": cmd}
            ans["pJobId"] = c.highest
            return SUCCESS

        return self.on(req["ServerName"], body)

    @call(atsvc.NetrJobDel, atsvc.NetrJobDelResponse)
    def delete(self, req, ans):
        lo, hi = req["MinJobId"], req["MaxJobId"]

        def body(network, c):
            victims = [j for j in c.jobs if lo <= j <= hi]
            for j in victims:
                del c.jobs[j]
            return INVALID_PARAMETER if lo > hi else SUCCESS if victims else 3806  # APE_AT_ID_NOT_FOUND

        return self.on(req["ServerName"], body)

    @call(atsvc.NetrJobEnum, atsvc.NetrJobEnumResponse)
    def enum(self, req, ans):
        self.enums += 1
        if self.enums <= options.hang_enum:
            time.sleep(3600)
        if self.enums <= options.hang_enum + options.drop_enum:
            raise ConnectionAbortedError()
        if options.enum_faults:
            raise Fault(options.enum_faults.pop(0))
        time.sleep(options.delay_enum)
        items = []
        # A null resume handle arrives as b"", a present one as its number: the index the listing starts at.
        handle = req["pResumeHandle"] if isinstance(req["pResumeHandle"], int) else None

        def body(network, c):
            items.extend(dict(j, flags=flags_of(j, network.now())) for _, j in sorted(c.jobs.items())[handle or 0:])
            return SUCCESS

        code = self.on(req["ServerName"], body)
        # As many as fit the preferred length at about their size on the wire, one at least; ERROR_MORE_DATA tells more.
        sizes = itertools.accumulate(20 + 2 * len(j["cmd"]) for j in items)
        fit = max(1, sum(size <= req["PreferedMaximumLength"] for size in sizes)) if items else 0
        ans["pTotalEntries"], code, items = len(items), 234 if fit < len(items) else code, items[:fit]
        ans["pEnumContainer"]["EntriesRead"] = len(items)
        for j in items:
            e = atsvc.AT_ENUM()
            e["JobId"], e["JobTime"], e["DaysOfMonth"] = j["id"], j["time"], j["dom"]
            e["DaysOfWeek"], e["Flags"], e["Command"] = j["dow"], j["flags"], j["cmd"] + "\x00"
            ans["pEnumContainer"]["Buffer"].append(e)
        if not items:
            ans["pEnumContainer"]["Buffer"] = NULL
        ans["pResumeHandle"] = NULL if handle is None else handle + fit if code == 234 else 0
        return code

    @call(atsvc.NetrJobGetInfo, atsvc.NetrJobGetInfoResponse)
    def get_info(self, req, ans):
        def body(network, c):
            j = c.jobs.get(req["JobId"])
            if j is None:
                return 2  # ERROR_FILE_NOT_FOUND
            info = ans["ppAtInfo"]
            info["JobTime"], info["DaysOfMonth"], info["DaysOfWeek"] = j["time"], j["dom"], j["dow"]
            info["Flags"], info["Command"] = flags_of(j, network.now()), j["cmd"] + "\x00"
            return SUCCESS

        code = self.on(req["ServerName"], body)
        if code != SUCCESS or options.no_records:
            ans["ppAtInfo"] = NULL
        return code


def controller_state(word):
    """The service controller's state and accepted controls for a status word."""
    install, pause = word & 0x03, word & 0x0C
    accepted = (0x1 if word & 0x10 else 0) | (0x2 if word & 0x20 else 0)
    if install != 3:  # stopped, start pending, stop pending
        return [STOPPED, START_PENDING, STOP_PENDING][install], accepted if install else 0
    return {0x00: RUNNING, 0x04: CONTINUE_PENDING, 0x08: PAUSE_PENDING, 0x0C: PAUSED}[pause], accepted


class Svcctl(Base):
    def __init__(self, store):
        Base.__init__(self, store, ("367ABB81-9844-35F1-AD32-98F038001003", "2.0"), "\\PIPE\\svcctl",
                      {0: self.close_handle, 1: self.control, 6: self.query, 15: self.open_manager,
                       16: self.open_service, 19: self.start_service})
        self.handles = {}  # a handle -> ("scm" or "svc", its server name, the rights it was opened with)
        self.counter = itertools.count(1)

    def new_handle(self, kind, server, access=0):
        h = struct.pack("<II12x", 0, next(self.counter))
        self.handles[h] = (kind, server, access)
        return h

    def status(self, ans, code_and_word):
        """Fills the answer's service status for the word, and gives the code."""
        st = ans["lpServiceStatus"]
        st["dwServiceType"] = 0x20  # a shared process; exit codes, check point and wait hint stay 0
        st["dwCurrentState"], st["dwControlsAccepted"] = controller_state(code_and_word[1])
        return code_and_word[0]

    @call(scmr.ROpenSCManagerW, scmr.ROpenSCManagerWResponse)
    def open_manager(self, req, ans):
        def body(network):
            c = computer_of(network, req["lpMachineName"])
            return BAD_NETPATH if c is None else NOT_SUPPORTED if c.platform != 500 else SUCCESS

        code = self.store.run(body)
        ans["lpScHandle"] = self.new_handle("scm", req["lpMachineName"]) if code == SUCCESS else b"\0" * 20
        return code

    @call(scmr.ROpenServiceW, scmr.ROpenServiceWResponse)
    def open_service(self, req, ans):
        manager = self.handles.get(req["hSCManager"])
        # A refusal comes with a handle of zeros, as from a Windows host.
        ans["lpServiceHandle"] = b"\0" * 20
        if manager is None or manager[0] != "scm":
            return INVALID_HANDLE
        if str(req["lpServiceName"]).rstrip("\x00").lower() != "schedule":
            return 1060  # ERROR_SERVICE_DOES_NOT_EXIST
        if req["dwDesiredAccess"] & ~options.service_rights:
            return ACCESS_DENIED  # more rights than the account holds on the service
        ans["lpServiceHandle"] = self.new_handle("svc", manager[1], req["dwDesiredAccess"])
        return SUCCESS

    def with_service(self, handle, needed, body):
        """body(network, computer) on the service of a handle opened with the rights `needed`."""
        target = self.handles.get(handle)
        if target is None or target[0] != "svc":
            return INVALID_HANDLE, 0
        if target[2] & needed != needed:
            return ACCESS_DENIED, 0

        def run(network):
            c = computer_of(network, target[1])
            return (BAD_NETPATH, 0) if c is None else body(network, c)

        return self.store.run(run)

    def reported(self, network, c, is_query):
        pending = self.store.pending_of(network, c.name)
        if pending[0] == 0:
            return c.status
        pending[0] -= 1 if is_query else 0
        return pending[1]

    @call(scmr.RQueryServiceStatus, scmr.RQueryServiceStatusResponse)
    def query(self, req, ans):
        return self.status(ans, self.with_service(req["hService"], 0x04,
                                                  lambda n, c: (SUCCESS, self.reported(n, c, True))))

    @call(scmr.RStartServiceW, scmr.RStartServiceWResponse)
    def start_service(self, req, ans):
        def body(network, c):
            if c.status & 0x03:
                return 1056, 0  # ERROR_SERVICE_ALREADY_RUNNING
            if c.service.get("start", 0):
                return c.service["start"], 0
            c.status = 0x33
            self.store.pending_of(network, c.name)[:] = [c.service.get("pending", 0), 0x01]
            return SUCCESS, 0

        return self.with_service(req["hService"], 0x10, body)[0]

    @call(scmr.RControlService, scmr.RControlServiceResponse)
    def control(self, req, ans):
        ctl = req["dwControl"]

        def body(network, c):
            if (c.status & 0x03) != 0x03:
                return 1062, c.status  # ERROR_SERVICE_NOT_ACTIVE
            paused = (c.status & 0x0C) == 0x0C
            if ctl == 3:  # continue
                if not paused:
                    return INVALID_SERVICE_CONTROL, c.status
                if c.service.get("continue", 0):
                    return c.service["continue"], c.status
                c.status &= ~0x0C
                self.store.pending_of(network, c.name)[:] = [c.service.get("pending", 0), c.status | 0x04]
            elif ctl == 2:  # pause
                if paused:
                    return INVALID_SERVICE_CONTROL, c.status
                c.status |= 0x0C
            elif ctl == 1:  # stop
                c.status = 0
                self.store.pending_of(network, c.name)[:] = [0, 0]
            elif ctl != 4:
                return INVALID_SERVICE_CONTROL, c.status
            return SUCCESS, self.reported(network, c, False)

        # SERVICE_STOP, SERVICE_PAUSE_CONTINUE, SERVICE_INTERROGATE
        return self.status(ans, self.with_service(req["hService"], {1: 0x20, 2: 0x40, 3: 0x40, 4: 0x80}.get(ctl, 0),
                                                  body))

    @call(scmr.RCloseServiceHandle, scmr.RCloseServiceHandleResponse)
    def close_handle(self, req, ans):
        self.handles.pop(req["hSCObject"], None)
        return SUCCESS  # with a handle of zeros


class Wkssvc(Base):
    def __init__(self, store):
        Base.__init__(self, store, ("6BFFD098-A112-3610-9833-46C3F87E345A", "1.0"), "\\PIPE\\wkssvc", {0: self.get_info})

    @call(wkst.NetrWkstaGetInfo, wkst.NetrWkstaGetInfoResponse)
    def get_info(self, req, ans):
        ans["WkstaInfo"]["tag"] = 100  # the only level Velmora asks for

        def body(network):
            c = computer_of(network, req["ServerName"])
            if c is None:
                return BAD_NETPATH
            info = ans["WkstaInfo"]["WkstaInfo100"]
            info["wki100_platform_id"], info["wki100_computername"] = c.platform, c.name + "\x00"
            info["wki100_langroup"], info["wki100_ver_major"], info["wki100_ver_minor"] = "WORKGROUP\x00", 4, 0
            return SUCCESS

        code = self.store.run(body)
        if code != SUCCESS or options.no_records:
            ans["WkstaInfo"]["WkstaInfo100"] = NULL
        return code


def misbehaving(kind):
    """A host on a free port that accepts SMB's connection, then stays silent, answers garbage, or never ends."""
    listener = socket.create_server(("127.0.0.1", 0))

    def answer(conn):
        try:
            conn.recv(4096)
            if kind == "garbage":
                conn.sendall(b"\xa5" * 4096)
            if kind == "endless":  # a header announcing 16 MB, then a byte now and then
                conn.sendall(b"\0\xff\xff\xff")
                while True:
                    conn.sendall(b"\xfe")
                    time.sleep(0.05)
            while conn.recv(4096):
                pass
        except OSError:
            pass  # the client gave up

    def accept():
        while True:
            threading.Thread(target=answer, args=(listener.accept()[0],), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return listener.getsockname()[1]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--network", required=True)
    ap.add_argument("--user", required=True)
    ap.add_argument("--password", required=True)
    ap.add_argument("--no-atsvc", action="store_true", help="serve no ATSvc, as Samba")
    ap.add_argument("--refuse-atsvc", action="store_true", help="answer ATSvc with 50, as Windows 8 without EnableAt")
    ap.add_argument("--no-records", action="store_true", help="answer a job's or the workstation's query with success and no record")
    ap.add_argument("--hang-enum", type=int, default=0, help="leave the first N job listings unanswered")
    ap.add_argument("--drop-enum", type=int, default=0, help="then drop the next N listings' connections")
    ap.add_argument("--enum-faults", type=lambda t: [int(x, 0) for x in t.split(",")], default=[],
                    help="then answer the next listings with these faults in turn")
    ap.add_argument("--delay-enum", type=float, default=0, help="answer every job listing after SECONDS")
    ap.add_argument("--hang-svcctl-bind", action="store_true", help="never answer the service controller's bind")
    ap.add_argument("--drop-svcctl-binds", type=int, default=0, help="drop the first N service controller binds' connections")
    ap.add_argument("--service-rights", type=lambda t: int(t, 0), default=0xFFFFFFFF,
                    help="the access rights the account holds on the service (OpenServiceW refuses more with 5)")
    ap.add_argument("--refuse-logons", type=lambda t: [int(x, 0) for x in t.split(",")], default=[],
                    help="refuse the first logons, right password or not, with these NTSTATUS codes in turn")
    ap.add_argument("--log", default=os.devnull, help='gets a line per SMB request ("request"), per logon refused ("refused") and per SIGUSR1, on which the service controller forgets its handles ("forgot")')
    global options
    options = a = ap.parse_args()

    def log(line):
        with open(a.log, "a") as f:
            f.write(line + "\n")

    verify, process, refusals = smbserver.computeNTLMv2, smbserver.SMBSERVER.processRequest, list(a.refuse_logons)

    def counted_logon(*args):
        code, key = verify(*args)
        code = refusals.pop(0) if refusals else code
        if code != SUCCESS:
            log("refused")
        return code, key

    def counted_request(*args):
        log("request")
        return process(*args)

    smbserver.computeNTLMv2, smbserver.SMBSERVER.processRequest = counted_logon, counted_request

    store = Store(a.network)
    servers = {"svcctl": Svcctl(store), "wkssvc": Wkssvc(store)}
    if not a.no_atsvc:
        servers["atsvc"] = ATSvc(store)
    for s in servers.values():
        s.start()

    def forget_handles(*_):
        # As a service controller that restarted: every handle it gave is stale.
        servers["svcctl"].handles.clear()
        log("forgot")

    signal.signal(signal.SIGUSR1, forget_handles)

    smb = smbserver.SimpleSMBServer(listenAddress="127.0.0.1", listenPort=0)
    port = smb._SimpleSMBServer__server.server_address[1]  # the free port it bound
    smb.setSMB2Support(True)
    # Windows keeps no LM hash of a password longer than 14 characters: that of "" stands for none.
    lmhash = compute_lmhash(a.password if len(a.password) <= 14 else "")
    smb.addCredential(a.user, 0, lmhash.hex(), compute_nthash(a.password).hex())
    for pipe, s in servers.items():  # wkssvc in place of impacket's own
        smb.registerNamedPipe(pipe, ("127.0.0.1", s.getListenPort()))
    broken = " ".join(str(misbehaving(kind)) for kind in ("silent", "garbage", "endless"))
    print("ready %d %s %d" % (port, broken, os.getpid()), flush=True)
    smb.start()


if __name__ == "__main__":
    main()
