#!/usr/bin/env python3
"""The flood's small helpers, all on 127.0.0.1; times are wall-clock seconds (time.time()).

  echo PORT LOG            echoes RTP back to its sender, logging each arrival time
  noise PORT[,PORT...] RATE SECS
                           sends RATE random datagrams a second, in turn to the ports, from a
                           new source port every 500
  ports PID                the UDP ports the process has bound, comma-separated
  relay PORT AGENT PEER WORK PROBE-SECS COUNT
                           the phone's proxy, with the OPTIONS and CANCEL probes (see relay)
  report ...               reads the logs and prints the figures (see main)
"""

import json
import os
import random
import signal
import socket
import sys
import time
import wave


def loopback_socket(timeout=None):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    s.settimeout(timeout)
    return s


def echo(port, log):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", port))
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    with open(log, "w", buffering=1) as out:
        while True:
            data, peer = s.recvfrom(2048)
            out.write("%.4f\n" % time.time())
            s.sendto(data, peer)


def noise(ports, rate, secs):
    rnd = random.Random(20)
    s = None
    sent = 0
    start = time.time()
    while time.time() < start + secs:
        # A batch every 10 ms keeps the rate even without a sleep per datagram.
        for _ in range(rate // 100):
            if sent % 500 == 0:
                if s:
                    s.close()
                s = loopback_socket()
            size = rnd.randrange(1, 1400)
            try:
                s.sendto(rnd.randbytes(size), ("127.0.0.1", ports[sent % len(ports)]))
            except OSError:
                pass
            sent += 1
        due = start + sent / rate
        time.sleep(max(0.0, due - time.time()))
    print(sent)


def sip_message(method, port, local, call_id, branch, cseq):
    return (
        "%s sip:alice@127.0.0.1:%d SIP/2.0\r\n"
        "Via: SIP/2.0/UDP 127.0.0.1:%d;branch=%s\r\n"
        "From: <sip:prober@127.0.0.1:%d>;tag=p\r\n"
        "To: <sip:alice@127.0.0.1:%d>\r\n"
        "Call-ID: %s\r\nCSeq: %d %s\r\nMax-Forwards: 70\r\n"
        "Content-Length: 0\r\n\r\n" % (method, port, local, branch, local, port, call_id, cseq, method)
    ).encode()


def header(data, name):
    for line in data.split(b"\r\n"):
        if line.lower().startswith(name + b":"):
            return line[len(name) + 1 :].strip()
    return b""


def relay(listen, agent, peer, work, probe_secs, count):
    """The phone's proxy: passes SIP between the phone and the SIPp peer, and from its own port
    times an OPTIONS every 20 ms and, once WORK/flood.done exists, asks after 20 forged calls a
    second with a CANCEL (the forged call's Call-ID and branch, so that it matches the INVITE).
    The phone may answer either to the Via or to its proxy: both are this port. Answers to the
    forged INVITEs are counted and dropped. Ends when WORK/stop exists."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", listen))
    to_agent, to_peer = ("127.0.0.1", agent), ("127.0.0.1", peer)
    opt_log = open(os.path.join(work, "options.log"), "w", buffering=1)
    probe_log = open(os.path.join(work, "probe.log"), "w", buffering=1)
    n_opt = 0
    opt = None  # (call-id, sent-at)
    next_opt = time.time()
    probe_start = None
    next_probe = 0.0
    asked = set()
    waiting = {}  # call number -> sent-at
    forged_answers = {}
    next_check = 0.0
    while True:
        now = time.time()
        if now >= next_check:
            next_check = now + 0.1
            if os.path.exists(os.path.join(work, "stop")):
                break
            if probe_start is None and os.path.exists(os.path.join(work, "flood.done")):
                probe_start = next_probe = now
        if opt and now - opt[1] > 1.0:
            opt_log.write("%.4f -1\n" % opt[1])
            opt = None
        if opt is None and now >= next_opt:
            n_opt += 1
            call_id = "probe-%d-%d@127.0.0.1" % (os.getpid(), n_opt)
            s.sendto(sip_message("OPTIONS", agent, listen, call_id, "z9hG4bK-opt-%d" % n_opt, n_opt), to_agent)
            opt = (call_id, now)
            next_opt = now + 0.02
        for n, at in list(waiting.items()):
            if now - at > 0.5:
                probe_log.write("%.4f %d 0\n" % (at, n))
                del waiting[n]
        if probe_start is not None and now >= next_probe and now < probe_start + probe_secs:
            left = [n for n in range(1, count + 1) if n not in asked]
            # Spread so that some are still unasked after 64*T1.
            per_round = max(1, min(20, count // int(probe_secs)))
            for n in random.sample(left, min(per_round, len(left))):
                asked.add(n)
                msg = (
                    "CANCEL sip:alice@127.0.0.1:%d SIP/2.0\r\n"
                    "Via: SIP/2.0/UDP 127.0.0.1:%d;branch=z9hG4bK-flood-%d\r\n"
                    "From: \"Stranger %d\" <sip:stranger%d@127.0.0.1>;tag=flood%d\r\n"
                    "To: <sip:alice@127.0.0.1:%d>\r\n"
                    "Call-ID: flood-%d@127.0.0.1\r\nCSeq: 1 CANCEL\r\nMax-Forwards: 70\r\n"
                    "Content-Length: 0\r\n\r\n" % (agent, listen, n, n, n, n, agent, n)
                )
                s.sendto(msg.encode(), to_agent)
                waiting[n] = time.time()
            next_probe += 1.0
        if probe_start is not None and now >= probe_start + probe_secs + 1 and not waiting:
            open(os.path.join(work, "probe.done"), "w").close()
        s.settimeout(0.005)
        try:
            data, source = s.recvfrom(65536)
        except socket.timeout:
            continue
        got = time.time()
        if source == to_peer:
            s.sendto(data, to_agent)
            continue
        if source != to_agent:
            continue
        call_id = header(data, b"call-id") or header(data, b"i")
        if data.startswith(b"SIP/2.0 ") and opt and call_id == opt[0].encode():
            opt_log.write("%.4f %.2f\n" % (opt[1], (got - opt[1]) * 1000.0))
            opt = None
        elif call_id.startswith(b"flood-"):
            cseq = header(data, b"cseq")
            status = data[8:11].decode(errors="replace") if data.startswith(b"SIP/2.0 ") else "req"
            if cseq.endswith(b"CANCEL"):
                n = int(call_id[6:].split(b"@")[0] or 0)
                if n in waiting:
                    probe_log.write("%.4f %d %s\n" % (waiting.pop(n), n, status))
            else:
                forged_answers[status] = forged_answers.get(status, 0) + 1
        elif not call_id.startswith(b"probe-"):
            s.sendto(data, to_peer)
    with open(os.path.join(work, "forged_answers.json"), "w") as out:
        json.dump(forged_answers, out)


def udp_ports(pid):
    """The UDP ports the process has bound, from its descriptors and /proc/net/udp."""
    inodes = set()
    for fd in os.listdir("/proc/%d/fd" % pid):
        try:
            target = os.readlink("/proc/%d/fd/%s" % (pid, fd))
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    with open("/proc/net/udp") as f:
        rows = [line.split() for line in f.readlines()[1:]]
    return sorted({int(r[1].split(":")[1], 16) for r in rows if r[9] in inodes})


def floats(path):
    with open(path) as f:
        return [[float(x) for x in line.split()] for line in f if line.strip()]


def longest_silence_ms(path, skip_s=1.0):
    """The longest run of 10 ms frames whose peak stays under 1 % of full scale."""
    with wave.open(path) as w:
        rate = w.getframerate()
        frames = w.readframes(w.getnframes())
    samples = memoryview(frames).cast("h")
    frame = rate // 100
    first = int(skip_s * rate)
    last = len(samples) - int(skip_s * rate)
    longest = run = 0
    for i in range(first, max(first, last - frame), frame):
        peak = max(abs(v) for v in samples[i : i + frame])
        run = run + 1 if peak < 328 else 0
        longest = max(longest, run)
    return longest * 10, (len(samples) / rate)


def report(args):
    """report FLOOD_START FLOOD_END ECHO_LOG OPTIONS_LOG PROBE_LOG SAMPLES SPEAKER_WAV"""
    t0, t1 = float(args[0]), float(args[1])
    arrivals = [r[0] for r in floats(args[2])]
    during = [t for t in arrivals if t0 - 1 <= t <= t1 + 35]
    gaps = [(b - a) * 1000 for a, b in zip(during, during[1:])]
    rtp_gap = max(gaps) if gaps else -1
    opts = floats(args[3])
    lat = sorted(r[1] if r[1] >= 0 else 1000.0 for r in opts if t0 <= r[0] <= t1 + 35)
    unanswered = sum(1 for r in opts if t0 <= r[0] <= t1 + 35 and r[1] < 0)
    p99 = lat[min(len(lat) - 1, int(len(lat) * 0.99))] if lat else -1
    probes = floats(args[4])
    # The last probe that still found a ringing call (200 to its CANCEL), after the flood's end.
    pending = [r for r in probes if r[2] == 200]
    last_pending = max((r[0] for r in pending), default=None)
    freed_after = (last_pending - t1) if last_pending else 0.0
    asked_late = [r for r in probes if r[0] >= t1 + 32]
    still_late = sum(1 for r in asked_late if r[2] == 200)
    samples = floats(args[5])
    rss_before = next((r[1] for r in samples if r[0] >= t0 - 2), -1)
    hwm = max((r[2] for r in samples), default=-1)
    rss_end = next((r[1] for r in samples if r[0] >= t1), -1)
    rss_after = samples[-1][1] if samples else -1
    fds = [r[3] for r in samples]
    silence, seconds = longest_silence_ms(args[6])
    print(
        json.dumps(
            {
                "rtp_gap_ms": round(rtp_gap, 1),
                "rtp_packets": len(during),
                "speaker_silence_ms": silence,
                "speaker_seconds": round(seconds, 1),
                "options": len(lat),
                "options_unanswered": unanswered,
                "options_max_ms": round(lat[-1], 1) if lat else -1,
                "options_p99_ms": round(p99, 1),
                "probes": len(probes),
                "probes_pending": len(pending),
                "pending_last_seen_s": round(freed_after, 1),
                "probes_after_32s": len(asked_late),
                "pending_after_32s": still_late,
                "rss_before_kb": rss_before,
                "rss_flood_end_kb": rss_end,
                "rss_after_kb": rss_after,
                "vmhwm_kb": hwm,
                "fds_min": min(fds, default=-1),
                "fds_max": max(fds, default=-1),
            }
        )
    )


def main():
    cmd, args = sys.argv[1], sys.argv[2:]
    if cmd == "echo":
        echo(int(args[0]), args[1])
    elif cmd == "relay":
        relay(int(args[0]), int(args[1]), int(args[2]), args[3], float(args[4]), int(args[5]))
    elif cmd == "noise":
        noise([int(p) for p in args[0].split(",")], int(args[1]), float(args[2]))
    elif cmd == "ports":
        print(",".join(str(p) for p in udp_ports(int(args[0]))))
    elif cmd == "report":
        report(args)
    else:
        sys.exit("flood_tools.py: unknown command " + cmd)


if __name__ == "__main__":
    main()
