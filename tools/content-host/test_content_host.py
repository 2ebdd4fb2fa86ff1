#!/usr/bin/env python3
"""Checks of the content host itself: it is started here on free loopback ports with the
sandbox's test certificate (ORVANE_CA_DIR) or a throw-away one, and driven over raw
sockets, so that malformed requests can be sent as they are."""

import base64
import hashlib
import json
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Host:
    """One content host process on free ports, with its own data folder."""

    def __init__(self, cert, key, trust, arguments=()):
        self.trust = trust
        self.folder = tempfile.mkdtemp(prefix="content-host-test-")
        self.port = free_port()
        self.control_port = free_port()
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(HERE, "content_host.py"), "--cert", cert, "--key", key,
             "--port", str(self.port), "--control-port", str(self.control_port),
             "--data-dir", os.path.join(self.folder, "data")] + list(arguments),
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.opener = urllib.request.build_opener(urllib.request.ProxyHandler({}))
        deadline = time.time() + 10
        while True:
            try:
                self.control("GET", "/ping")
                break
            except OSError:
                if time.time() > deadline or self.process.poll() is not None:
                    self.stop()
                    raise RuntimeError("the content host did not start")
                time.sleep(0.1)

    def control(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request("http://127.0.0.1:%d%s" % (self.control_port, path), data=data, method=method)
        try:
            with self.opener.open(request, timeout=5) as answer:
                return answer.status, answer.read().decode()
        except urllib.error.HTTPError as e:
            return e.code, e.read().decode()

    def connect(self):
        context = ssl.create_default_context(cafile=self.trust)
        context.check_hostname = False
        raw = socket.create_connection(("127.0.0.1", self.port), timeout=5)
        return context.wrap_socket(raw)

    def exchange(self, data, timeout=5):
        """Sends raw bytes, reads until the host closes (or the time-out); returns the bytes."""
        with self.connect() as s:
            s.settimeout(timeout)
            s.sendall(data)
            received = b""
            try:
                while True:
                    piece = s.recv(65536)
                    if not piece:
                        break
                    received += piece
            except (socket.timeout, ConnectionError, ssl.SSLError):
                pass
            return received

    def post(self, path, body, headers=()):
        lines = ["POST %s HTTP/1.1" % path, "Host: content.orvane.test", "Connection: close",
                 "Content-Length: %d" % len(body)] + ["%s: %s" % h for h in headers]
        return self.exchange(("\r\n".join(lines) + "\r\n\r\n").encode() + body)

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stderr.close()
        shutil.rmtree(self.folder, ignore_errors=True)


def status_of(answer):
    return int(answer.split(b" ", 2)[1]) if answer.startswith(b"HTTP/1.1 ") else None


def body_of(answer):
    return answer.split(b"\r\n\r\n", 1)[1]


KEYS = {}


def setUpModule():
    ca_dir = os.environ.get("ORVANE_CA_DIR")
    if ca_dir and os.path.exists(os.path.join(ca_dir, "server.pem")):
        KEYS.update(cert=os.path.join(ca_dir, "server.pem"), key=os.path.join(ca_dir, "server.key"),
                    trust=os.path.join(ca_dir, "ca.pem"))
        return
    folder = tempfile.mkdtemp(prefix="content-host-keys-")
    KEYS.update(folder=folder, cert=os.path.join(folder, "cert.pem"), key=os.path.join(folder, "key.pem"))
    KEYS["trust"] = KEYS["cert"]
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=localhost",
                    "-keyout", KEYS["key"], "-out", KEYS["cert"]],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def tearDownModule():
    if "folder" in KEYS:
        shutil.rmtree(KEYS["folder"], ignore_errors=True)


def start_host(arguments=()):
    return Host(KEYS["cert"], KEYS["key"], KEYS["trust"], arguments)


def sample_catalog():
    with open(os.path.join(HERE, "catalog", "sample.json"), encoding="utf-8") as f:
        return json.load(f)


def broken_catalog():
    """The sample with an offer that lacks its download address."""
    catalog = sample_catalog()
    del catalog["o"][2]["ps"]["u"]
    return catalog


BROKEN_LINE = "$.o[2].ps.u: missing (required string) [ends the load]"


class ContentHostTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.host = start_host()

    @classmethod
    def tearDownClass(cls):
        cls.host.stop()

    def setUp(self):
        self.assertEqual(200, self.host.control("POST", "/reset", {})[0])

    def test_malformed_requests_get_a_4xx_and_the_host_goes_on(self):
        cases = [
            (b"GARBAGE\r\n\r\n", 400),
            (b"GET /o HTTP/1.1 extra\r\n\r\n", 400),
            (b"get /o HTTP/1.1\r\nHost: x\r\n\r\n", 405),
            (b"BREW /o HTTP/1.1\r\nHost: x\r\n\r\n", 405),
            (b"POST /o HTTP/1.1\r\nHost: x\r\nContent-Length: abc\r\n\r\n", 400),
            (b"POST /o HTTP/1.1\r\nHost: x\r\nContent-Length: -4\r\n\r\n", 400),
            (b"POST /o HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999\r\n\r\n", 413),
            (b"POST /o HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", 411),
            (b"GET /o HTTP/1.1\r\nX: " + b"a" * 70000 + b"\r\n\r\n", 431),
            (b"GET /" + b"a" * 70000 + b" HTTP/1.1\r\n\r\n", 414),
            (b"POST /o HTTP/1.1\r\nHost: x\r\nContent-Length: 7\r\nConnection: close\r\n\r\nnot json", 400),
            (b"POST /zbd HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}", 400),
            (b"GET /o HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", 405),
        ]
        for request, status in cases:
            with self.subTest(request=request[:40]):
                self.assertEqual(status, status_of(self.host.exchange(request)))
        answer = self.host.post("/o", b'{"a":"Tarvinel"}')
        self.assertEqual(200, status_of(answer))
        self.assertEqual("Orvane Demo", json.loads(body_of(answer))["i"]["ct"])
        self.assertEqual([], json.loads(self.host.control("GET", "/events")[1]))

    def test_no_interim_continue_answer(self):
        answer = self.host.post("/o", b"{}", [("Expect", "100-continue"), ("Content-Type", "application/json")])
        self.assertTrue(answer.startswith(b"HTTP/1.1 200 "), answer[:40])
        self.assertNotIn(b"100 Continue", answer)

    def test_events_are_stored_with_their_signature_check(self):
        record = json.dumps({"1": "machine", "2": "20260101000000", "6": "3"})
        document = json.dumps({"data": record, "table": "zb_analytics"}).encode()
        good = "Signature=" + hashlib.sha256(b"machine20260101000000").hexdigest()
        for authorization in (good, "Signature=" + "0" * 64, None):
            headers = [("Authorization", authorization)] if authorization else []
            self.assertEqual(200, status_of(self.host.post("/zbd", document, headers)))
        events = json.loads(self.host.control("GET", "/events")[1])
        self.assertEqual([True, False, False], [e["signature_ok"] for e in events])
        self.assertEqual(["3"] * 3, [e["kind"] for e in events])
        self.assertEqual("machine", events[0]["record"]["1"])

    def test_requests_are_logged_with_headers_in_order(self):
        self.host.post("/o?x=1", b'{"k":1}', [("Zeta", "1"), ("Alpha", "2")])
        logged = json.loads(self.host.control("GET", "/requests?path=/o")[1])
        self.assertEqual(1, len(logged))
        self.assertEqual("/o?x=1", logged[0]["target"])
        self.assertEqual('{"k":1}', logged[0]["body"])
        names = [name for name, _ in logged[0]["headers"]]
        self.assertEqual(["Host", "Connection", "Content-Length", "Zeta", "Alpha"], names)

    def test_files_are_served_only_from_their_folder(self):
        with open(os.path.join(HERE, "files", "img", "notes.png"), "rb") as f:
            picture = f.read()
        answer = self.host.exchange(b"GET /f/img/notes.png HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        self.assertEqual(200, status_of(answer))
        self.assertEqual(picture, body_of(answer))
        for path in (b"/f/../content_host.py", b"/f/%2e%2e/content_host.py", b"/f/img/missing.png", b"/f/"):
            with self.subTest(path=path):
                answer = self.host.exchange(b"GET " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                self.assertEqual(404, status_of(answer))

    def test_scripted_answers(self):
        scenario = {"answers": {"/s": [
            {"status": 503, "body": "busy", "times": 2},
            {"body": "hello", "content_length": 10},
            {"body": "hello world", "cut_after": 4},
            {"pieces": ["ab", "cd"], "chunked": True},
            {"body": "blank", "content_length": None},
            {"location": "/s"},
            {"body_base64": base64.b64encode(b"\0\1").decode()},
        ]}}
        self.assertEqual(200, self.host.control("POST", "/scenario", scenario)[0])
        answers = [self.host.post("/s", b"{}") for _ in range(8)]
        self.assertEqual([503, 503, 200, 200, 200, 200, 302, 200], [status_of(a) for a in answers[:8]])
        self.assertEqual(b"busy", body_of(answers[0]))
        self.assertIn(b"Content-Length: 10\r\n", answers[2])
        self.assertEqual(b"hello", body_of(answers[2]))
        self.assertEqual(b"hell", body_of(answers[3]))
        self.assertIn(b"Transfer-Encoding: chunked\r\n", answers[4])
        self.assertEqual(b"2\r\nab\r\n2\r\ncd\r\n0\r\n\r\n", body_of(answers[4]))
        self.assertNotIn(b"Content-Length", answers[5])
        self.assertEqual(b"blank", body_of(answers[5]))
        self.assertIn(b"Location: /s\r\n", answers[6])
        self.assertEqual(b"\0\1", body_of(answers[7]))
        # Used up: the path is unknown again.
        self.assertEqual(404, status_of(self.host.post("/s", b"{}")))

    def test_a_bad_scenario_is_refused_and_the_old_one_stays(self):
        self.host.control("POST", "/scenario", {"answers": {"/o": [{"status": 500, "times": 0}]}})
        for scenario in ({"answers": {"/o": [{"bogus": 1}]}}, {"answers": {"o": []}}, {"answer": {}},
                         {"answers": {"/o": [{"times": -1}]}}, {"answers": {"/o": [{"headers": "X: 1"}]}}):
            with self.subTest(scenario=scenario):
                status, text = self.host.control("POST", "/scenario", scenario)
                self.assertEqual(400, status)
                self.assertIn("error", json.loads(text))
        self.assertEqual(500, status_of(self.host.post("/o", b"{}")))

    def test_scenarios_are_served_unchecked_and_the_check_is_on_request(self):
        self.assertEqual({"ends_load": False, "problems": []}, json.loads(self.host.control("GET", "/check")[1]))
        self.assertEqual(200, self.host.control("POST", "/scenario", {"config": broken_catalog()})[0])
        answer = self.host.post("/o", b"{}")
        self.assertEqual(200, status_of(answer))
        self.assertNotIn("u", json.loads(body_of(answer))["o"][2]["ps"])
        check = json.loads(self.host.control("GET", "/check")[1])
        self.assertTrue(check["ends_load"])
        self.assertEqual([BROKEN_LINE], [p["text"] for p in check["problems"]])
        self.assertEqual(400, self.host.control("GET", "/check?type=XYZ")[0])

    def test_a_silent_client_blocks_nobody(self):
        # Connected but never starts the TLS handshake.
        with socket.create_connection(("127.0.0.1", self.host.port), timeout=5):
            self.assertEqual(200, status_of(self.host.post("/o", b"{}")))


class CatalogAtStartTest(unittest.TestCase):
    """The default configuration is checked before the host serves anything."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="content-host-catalog-")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def write(self, data):
        path = os.path.join(self.folder, "catalog.json")
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else json.dumps(data).encode("utf-8"))
        return path

    def run_to_exit(self, *arguments):
        result = subprocess.run(
            [sys.executable, os.path.join(HERE, "content_host.py"), "--cert", KEYS["cert"], "--key", KEYS["key"],
             "--port", str(free_port()), "--control-port", str(free_port()),
             "--data-dir", os.path.join(self.folder, "data")] + list(arguments),
            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, timeout=20)
        return result.returncode, result.stderr.splitlines()

    def test_refuses_a_catalog_that_ends_the_load(self):
        status, errors = self.run_to_exit("--config", self.write(broken_catalog()))
        self.assertEqual(1, status)
        self.assertIn(BROKEN_LINE, errors)
        self.assertFalse(os.path.exists(os.path.join(self.folder, "data")))

    def test_refuses_text_that_is_not_json_even_with_the_override(self):
        status, errors = self.run_to_exit("--config", self.write(b'{"l": "DE",}'), "--allow-invalid-catalog")
        self.assertEqual(1, status)
        self.assertIn("line 1, column 12: invalid JSON (Expecting property name enclosed in double quotes) "
                      "[ends the load]", errors)

    def test_serves_a_broken_catalog_with_the_override(self):
        host = start_host(["--config", self.write(broken_catalog()), "--allow-invalid-catalog"])
        try:
            answer = host.post("/o", b"{}")
            self.assertEqual(200, status_of(answer))
            self.assertEqual(broken_catalog(), json.loads(body_of(answer)))
            check = json.loads(host.control("GET", "/check")[1])
            self.assertEqual([BROKEN_LINE], [p["text"] for p in check["problems"]])
        finally:
            host.stop()

    def test_serves_a_catalog_whose_problems_leave_only_an_offer_out(self):
        catalog = sample_catalog()
        catalog["o"][1]["ps"]["ov"] = 64
        host = start_host(["--config", self.write(catalog)])
        try:
            self.assertEqual(catalog, json.loads(body_of(host.post("/o", b"{}"))))
        finally:
            host.stop()


class StopTest(unittest.TestCase):
    def test_stops_cleanly_while_an_answer_hangs(self):
        host = start_host()
        try:
            host.control("POST", "/scenario", {"answers": {"/hang": [{"hang": True}]}})
            connection = host.connect()
            connection.sendall(b"GET /hang HTTP/1.1\r\nHost: x\r\n\r\n")
            time.sleep(0.3)
            started = time.time()
            host.process.send_signal(signal.SIGTERM)
            self.assertEqual(0, host.process.wait(10))
            self.assertLess(time.time() - started, 5)
            connection.close()
        finally:
            host.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
