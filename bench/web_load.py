#!/usr/bin/python3
"""A bounded load test of brenvo-web on 127.0.0.1.

Sends registrations at a fixed rate for a fixed time (open loop: a slow
answer does not slow the sending), then checks that every one was stored
exactly once and prints the latencies. Against the PostgreSQL test server
with --server CONNECTION (a fresh database is made on it), else against a
new zhao.dat. With --idle N and --slow N, as many connections stay open
meanwhile, each from an address of its own (127.0.1.x, 127.0.2.x): idle ones
that send nothing (opened again whenever the server closes one) and slow
senders trickling a body of 6 MB at 5 KB/s. Stops by itself.

  bench/web_load.py --web build/bin/brenvo-web --make-zhao build/tools/make_zhao_dat \
      [--server "host=127.0.0.1 port=… user=brenvo dbname=postgres"] [--rate 200] [--seconds 30] \
      [--idle 200] [--slow 10]
"""
import argparse
import asyncio
import multiprocessing
import os
import re
import shutil
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import uuid


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def psql(connection, sql):
    return subprocess.run(["psql", "-X", "-q", "-t", "-A", "-v", "ON_ERROR_STOP=1", connection, "-c", sql],
                          check=True, capture_output=True, text=True).stdout.strip()


async def exchange(port, request, address=None):
    reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(address, 0) if address else None)
    writer.write(request)
    await writer.drain()
    head = await reader.readuntil(b"\r\n\r\n")
    length = int(re.search(rb"(?i)content-length:\s*(\d+)", head).group(1))
    body = await reader.readexactly(length)
    writer.close()
    return head, body


def registration_request(port, cookie, token, n):
    boundary = "----load" + uuid.uuid4().hex
    fields = [("csrf", token), ("xm", "负载%06d" % n), ("xb", "女" if n % 2 else "男"), ("nl", str(16 + n % 10)),
              ("zj", "LOAD%014d" % n), ("lx1", "139%08d" % n), ("bm1", "1")]
    body = "".join('--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' % (boundary, k, v)
                   for k, v in fields) + "--%s--\r\n" % boundary
    body = body.encode()
    return (("POST / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nCookie: %s\r\n"
             "Content-Type: multipart/form-data; boundary=%s\r\nContent-Length: %d\r\nConnection: close\r\n\r\n")
            % (port, cookie, boundary, len(body))).encode() + body


async def idle_connection(port, address, stop, counts):
    while not stop.is_set():
        try:
            reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(address, 0))
        except OSError:
            await asyncio.sleep(0.1)
            continue
        counts["idle opened"] += 1
        stopping = asyncio.ensure_future(stop.wait())
        await asyncio.wait([asyncio.ensure_future(reader.read()), stopping], return_when=asyncio.FIRST_COMPLETED)
        writer.close()


async def slow_sender(port, address, stop, counts):
    while not stop.is_set():
        try:
            reader, writer = await asyncio.open_connection("127.0.0.1", port, local_addr=(address, 0))
            writer.write(b"POST / HTTP/1.1\r\nHost: x\r\nContent-Type: multipart/form-data; boundary=b\r\n"
                         b"Content-Length: 6291455\r\n\r\n")
            counts["slow opened"] += 1
            while not stop.is_set() and not reader.at_eof():
                writer.write(b"x" * 5120)
                await writer.drain()
                await asyncio.sleep(1)
            writer.close()
        except OSError:
            await asyncio.sleep(0.1)


async def hold_connections(port, idle, slow, seconds):
    stop = asyncio.Event()
    counts = {"idle opened": 0, "slow opened": 0}
    holders = [asyncio.ensure_future(idle_connection(port, "127.0.1.%d" % (1 + i % 250), stop, counts))
               for i in range(idle)]
    holders += [asyncio.ensure_future(slow_sender(port, "127.0.2.%d" % (1 + i), stop, counts)) for i in range(slow)]
    await asyncio.sleep(seconds)
    stop.set()
    await asyncio.gather(*holders, return_exceptions=True)
    print("held meanwhile: %s" % counts)


def holding_process(port, idle, slow, seconds):
    """The idle and slow connections come from a process of their own, as
    from other machines: their cost on the client does not count as the
    page's latency."""
    process = multiprocessing.Process(target=lambda: asyncio.run(hold_connections(port, idle, slow, seconds)))
    process.start()
    time.sleep(2)
    return process


async def load(port, rate, seconds):
    head, body = await exchange(port, b"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    cookie = re.search(rb"Set-Cookie: ([^;\r\n]+)", head).group(1).decode()
    token = re.search(rb'name="csrf" value="([^"]+)"', body).group(1).decode()
    latencies, statuses = [], {}

    async def one(n):
        request = registration_request(port, cookie, token, n)
        started = time.perf_counter()
        try:
            # Applicants come from addresses of their own (127.0.3.x).
            answer, _ = await exchange(port, request, "127.0.3.%d" % (1 + n % 250))
            status = answer.split(b" ")[1].decode()
        except (OSError, asyncio.IncompleteReadError) as error:
            status = type(error).__name__
        latencies.append(time.perf_counter() - started)
        statuses[status] = statuses.get(status, 0) + 1

    tasks = []
    start = time.perf_counter()
    total = rate * seconds
    for n in range(total):
        delay = start + n / rate - time.perf_counter()
        if delay > 0:
            await asyncio.sleep(delay)
        tasks.append(asyncio.ensure_future(one(n)))
    sent_in = time.perf_counter() - start
    await asyncio.gather(*tasks)
    return latencies, statuses, sent_in


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True)
    parser.add_argument("--make-zhao", required=True)
    parser.add_argument("--server", help="libpq connection string of a PostgreSQL server")
    parser.add_argument("--rate", type=int, default=200)
    parser.add_argument("--seconds", type=int, default=30)
    parser.add_argument("--idle", type=int, default=0, help="idle connections held open meanwhile")
    parser.add_argument("--slow", type=int, default=0, help="slow senders meanwhile")
    arguments = parser.parse_args()

    folder = tempfile.mkdtemp(prefix="brenvo-load-")
    ini = "[web]\r\nlimit=1000000\r\n"
    database = None
    if arguments.server:
        database = "brenvo_load_%s" % uuid.uuid4().hex[:8]
        psql(arguments.server, "CREATE DATABASE %s" % database)
        connection = re.sub(r"dbname=\S+", "dbname=" + database, arguments.server)
        ini += "[server]\r\nconnection=%s\r\n" % connection
    else:
        subprocess.run([arguments.make_zhao, os.path.join(folder, "zhao.dat")], check=True)
    with open(os.path.join(folder, "duzarizered.ini"), "w", encoding="gbk") as f:
        f.write(ini)
    port = free_port()
    server = subprocess.Popen([arguments.web, "--data", folder, "--listen", "127.0.0.1:%d" % port],
                              stderr=subprocess.PIPE, text=True)
    try:
        if "serving" not in server.stderr.readline():
            print("brenvo-web did not start")
            return 1
        programme = ("INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                     "values (30,0,'计算机应用',1200,30,0,'1899-12-30 00:00:00','','',1,1,0)")
        if database:
            psql(connection, programme)
        else:
            db = sqlite3.connect(os.path.join(folder, "zhao.dat"))
            db.execute(programme)
            db.commit()
            db.close()
        time.sleep(2.5)  # the page reads its form again after two seconds
        holding = None
        if arguments.idle or arguments.slow:
            holding = holding_process(port, arguments.idle, arguments.slow, arguments.seconds + 5)
        latencies, statuses, sent_in = asyncio.run(load(port, arguments.rate, arguments.seconds))
        if holding:
            holding.join()
        count_sql = "select count(*), count(distinct zj) from bmb where ly=1"
        if database:
            stored, distinct = map(int, psql(connection, count_sql).split("|"))
        else:
            db = sqlite3.connect(os.path.join(folder, "zhao.dat"))
            stored, distinct = db.execute(count_sql).fetchone()
            db.close()
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)
        if database:
            psql(arguments.server, "DROP DATABASE IF EXISTS %s" % database)

    latencies.sort()
    total = arguments.rate * arguments.seconds
    p = lambda q: latencies[min(len(latencies) - 1, int(q * len(latencies)))] * 1000
    print("engine: %s" % ("PostgreSQL" if database else "zhao.dat"))
    print("sent %d registrations in %.1f s (%.0f per second); answers %s" % (total, sent_in, total / sent_in, statuses))
    print("stored %d, distinct %d" % (stored, distinct))
    print("latency ms: p50 %.1f  p90 %.1f  p99 %.1f  max %.1f" % (p(0.5), p(0.9), p(0.99), latencies[-1] * 1000))
    ok = stored == total and distinct == total and statuses == {"303": total}
    print("every registration stored once" if ok else "NOT every registration stored once")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
