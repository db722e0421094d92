#!/usr/bin/python3
"""Two brenvo-web instances on one PostgreSQL database, as behind a proxy.

Starts both on a fresh database of the test server (BRENVO_TEST_PG) and
sends registrations through them alternately: the page of one, the send to
the other, the receipt from the first. Then a repeated send through the
other instance, and one instance restarted: its old links and tokens still
hold. Every registration must be stored exactly once. Exits 77 (skipped)
without the server.
"""
import argparse
import http.client
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import uuid

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what)
    if not condition:
        failures.append(what)


def psql(connection, sql):
    return subprocess.run(["psql", "-X", "-q", "-t", "-A", "-v", "ON_ERROR_STOP=1", connection, "-c", sql],
                          check=True, capture_output=True, text=True).stdout.strip()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Instance:
    def __init__(self, web, connection):
        self.web = web
        self.folder = tempfile.mkdtemp(prefix="brenvo-instance-")
        self.port = free_port()
        with open(os.path.join(self.folder, "duzarizered.ini"), "w", encoding="gbk") as f:
            f.write("[server]\r\nconnection=%s\r\n[web]\r\nlimit=100\r\n" % connection)
        self.process = None

    def start(self):
        self.process = subprocess.Popen([self.web, "--data", self.folder, "--listen", "127.0.0.1:%d" % self.port],
                                        stderr=subprocess.PIPE, text=True)
        # The server's notices may come first.
        for line in self.process.stderr:
            if "serving" in line:
                return
        raise RuntimeError("brenvo-web did not start")

    def stop(self):
        if self.process:
            self.process.terminate()
            self.process.wait()
            self.process = None

    def request(self, method, path, body=b"", headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        connection.request(method, path, body=body, headers=headers or {})
        answer = connection.getresponse()
        result = answer.status, dict(answer.getheaders()), answer.read()
        connection.close()
        return result


def open_form(instance):
    status, headers, body = instance.request("GET", "/")
    cookie = headers["Set-Cookie"].split(";")[0]
    token = re.search(rb'name="csrf" value="([^"]+)"', body).group(1).decode()
    return status, cookie, token


def send(instance, cookie, token, n):
    boundary = "----instances" + uuid.uuid4().hex
    fields = [("csrf", token), ("xm", "实例%03d" % n), ("xb", "男"), ("nl", "18"), ("zj", "INST%012d" % n),
              ("lx1", "137%08d" % n), ("bm1", "1")]
    body = "".join('--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' % (boundary, k, v)
                   for k, v in fields) + "--%s--\r\n" % boundary
    status, headers, answer = instance.request("POST", "/", body.encode(), {
        "Cookie": cookie, "Content-Type": "multipart/form-data; boundary=" + boundary})
    return status, headers.get("Location", ""), answer.decode()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--web", required=True)
    arguments = parser.parse_args()
    server = os.environ.get("BRENVO_TEST_PG")
    if not server:
        print("BRENVO_TEST_PG is not set: skipped")
        return 77

    database = "brenvo_instances_%s" % uuid.uuid4().hex[:8]
    psql(server, "CREATE DATABASE %s" % database)
    connection = re.sub(r"dbname=\S+", "dbname=" + database, server)
    if "dbname=" not in connection:
        connection += " dbname=" + database
    instances = [Instance(arguments.web, connection), Instance(arguments.web, connection)]
    try:
        for instance in instances:
            instance.start()
        psql(connection, "INSERT INTO zy (serverid,serplaid,name,xuefei,renshu,yibaoming,jzrq,yjh,jieshao,sx,status,ddid) "
                         "values (30,0,'计算机应用',1200,30,0,'1899-12-30 00:00:00','','',1,1,0)")
        time.sleep(2.5)  # the form each instance holds is read again after two seconds

        links = []
        for n in range(6):
            shown, other = instances[n % 2], instances[(n + 1) % 2]
            status, cookie, token = open_form(shown)
            if n == 0:
                first_cookie, first_token = cookie, token
            status, location, _ = send(other, cookie, token, n)
            check(status == 303, "send %d: the page of one instance, stored through the other" % n)
            status, _, receipt = shown.request("GET", location)
            check(status == 200 and "实例%03d" % n in receipt.decode(), "send %d: its receipt from the first" % n)
            links.append(location)

        _, cookie, token = open_form(instances[1])
        status, _, answer = send(instances[0], cookie, token, 0)
        check(status == 200 and "已有相同信息的报名" in answer, "a repeated send through the other instance is refused")

        instances[0].stop()
        instances[0].start()
        status, _, receipt = instances[0].request("GET", links[1])
        check(status == 200 and "实例001" in receipt.decode(), "a receipt link holds after a restart")
        status, _, _ = send(instances[0], first_cookie, first_token, 6)
        check(status == 303, "a form token holds after a restart")

        stored, distinct = map(int, psql(connection, "select count(*), count(distinct zj) from bmb where ly=1").split("|"))
        check(stored == 7 and distinct == 7, "every registration stored once (%d rows, %d distinct)" % (stored, distinct))
    finally:
        for instance in instances:
            instance.stop()
            shutil.rmtree(instance.folder, ignore_errors=True)
        psql(server, "DROP DATABASE IF EXISTS %s" % database)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
