#!/usr/bin/env python3
"""Local content host: the stand-in for the maker's server in tests and the demo.

Serves the configuration (POST /o), the analytics endpoint (POST /zbd) and files
(GET /f/...) over TLS, records every request, stores analytics events in SQLite, and
lets tests script the answers of any path through a plain-HTTP control listener.
See README.md beside this file for the command line, the control interface and the
scenario format. The default configuration (--config) must pass the catalog check
(catalog_check.py) unless --allow-invalid-catalog says otherwise; scenarios are never
checked, since tests serve broken configurations on purpose.
"""

import argparse
import base64
import hashlib
import http.server
import json
import mimetypes
import os
import signal
import socket
import socketserver
import sqlite3
import ssl
import sys
import threading
import time
import urllib.parse

import catalog_check

HERE = os.path.dirname(os.path.abspath(__file__))
MAX_BODY = 16 * 1024 * 1024
HANG_LIMIT_SECONDS = 600


def log(message):
    sys.stderr.write("content-host: %s\n" % message)
    sys.stderr.flush()


class ScenarioError(ValueError):
    pass


ANSWER_KEYS = {
    "status", "reason", "headers", "body", "body_base64", "body_file", "body_size", "body_fill",
    "content_length", "cut_after", "pieces", "piece_size", "piece_delay_ms", "chunked",
    "delay_ms", "location", "hang", "drop", "pass", "times",
}


def check_answer(answer):
    if not isinstance(answer, dict):
        raise ScenarioError("an answer must be an object")
    unknown = set(answer) - ANSWER_KEYS
    if unknown:
        raise ScenarioError("unknown answer keys: %s" % ", ".join(sorted(unknown)))
    times = answer.get("times", 1)
    if not isinstance(times, int) or times < 0:
        raise ScenarioError("times must be a whole number, 0 for every request")
    headers = answer.get("headers", [])
    if not isinstance(headers, list) or not all(
            isinstance(h, list) and len(h) == 2 and all(isinstance(p, str) for p in h) for h in headers):
        raise ScenarioError("headers must be a list of [name, value] pairs")
    pieces = answer.get("pieces")
    if pieces is not None and not (isinstance(pieces, list) and all(isinstance(p, str) for p in pieces)):
        raise ScenarioError("pieces must be a list of texts")
    return dict(answer)


class State:
    """Everything the TLS handlers and the control listener share, behind one lock."""

    def __init__(self, data_dir, files_dir, default_config_path):
        self.lock = threading.Lock()
        self.stopping = threading.Event()
        self.data_dir = data_dir
        self.files_dir = os.path.realpath(files_dir)
        self.default_config_path = default_config_path
        self.request_log = []
        self.answers = {}
        self.config = self._load_json(default_config_path)
        self.request_log_path = os.path.join(data_dir, "requests.jsonl")
        self.db_path = os.path.join(data_dir, "events.sqlite3")
        self.db = sqlite3.connect(self.db_path, check_same_thread=False)
        self.db.execute(
            "CREATE TABLE IF NOT EXISTS events ("
            " id INTEGER PRIMARY KEY AUTOINCREMENT,"
            " time TEXT NOT NULL,"
            " kind TEXT,"
            " record TEXT NOT NULL,"
            " signature_ok INTEGER NOT NULL,"
            " authorization TEXT)")
        self.db.commit()

    @staticmethod
    def _load_json(path):
        with open(path, "rb") as f:
            return json.loads(f.read().decode("utf-8"))

    def close(self):
        with self.lock:
            self.db.close()

    # The scenario: scripted answers per path and the configuration document.
    def set_scenario(self, scenario, base_dir=HERE):
        if not isinstance(scenario, dict):
            raise ScenarioError("a scenario must be an object")
        unknown = set(scenario) - {"config", "config_file", "answers"}
        if unknown:
            raise ScenarioError("unknown scenario keys: %s" % ", ".join(sorted(unknown)))
        answers = scenario.get("answers", {})
        if not isinstance(answers, dict):
            raise ScenarioError("answers must map paths to lists of answers")
        queues = {}
        for path, queue in answers.items():
            if not path.startswith("/") or not isinstance(queue, list):
                raise ScenarioError("answers of %r must be a list, under a path starting with /" % path)
            queues[path] = [check_answer(a) for a in queue]
        if "config" in scenario:
            config = scenario["config"]
        elif "config_file" in scenario:
            try:
                config = self._load_json(os.path.join(base_dir, scenario["config_file"]))
            except (OSError, ValueError) as e:
                raise ScenarioError("cannot read config_file: %s" % e)
        else:
            config = self._load_json(self.default_config_path)
        with self.lock:
            self.answers = queues
            self.config = config

    def reset(self):
        config = self._load_json(self.default_config_path)
        with self.lock:
            self.answers = {}
            self.config = config
            self.request_log = []
            self.db.execute("DELETE FROM events")
            self.db.commit()
        try:
            os.remove(self.request_log_path)
        except FileNotFoundError:
            pass

    def next_answer(self, path):
        """The scripted answer for this path, or None for the normal behaviour."""
        with self.lock:
            queue = self.answers.get(path)
            if not queue:
                return None
            answer = queue[0]
            times = answer.get("times", 1)
            if times == 1:
                queue.pop(0)
            elif times > 1:
                queue[0] = dict(answer, times=times - 1)
            return answer

    def current_config(self):
        with self.lock:
            return self.config

    def record_request(self, entry):
        with self.lock:
            entry["seq"] = len(self.request_log) + 1
            self.request_log.append(entry)
            with open(self.request_log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry) + "\n")

    def requests(self, path=None):
        with self.lock:
            return [e for e in self.request_log if path is None or e["path"] == path]

    def store_event(self, kind, record_text, signature_ok, authorization):
        with self.lock:
            self.db.execute(
                "INSERT INTO events (time, kind, record, signature_ok, authorization) VALUES (?, ?, ?, ?, ?)",
                (time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime()), kind, record_text,
                 1 if signature_ok else 0, authorization))
            self.db.commit()

    def events(self):
        with self.lock:
            rows = self.db.execute(
                "SELECT id, time, kind, record, signature_ok, authorization FROM events ORDER BY id").fetchall()
        return [{"id": r[0], "time": r[1], "kind": r[2], "record": json.loads(r[3]),
                 "signature_ok": bool(r[4]), "authorization": r[5]} for r in rows]


def expected_signature(record):
    text = "%s%s" % (record.get("1", ""), record.get("2", ""))
    return "Signature=" + hashlib.sha256(text.encode("utf-8")).hexdigest()


class QuietHandler(http.server.BaseHTTPRequestHandler):
    """Common parts: HTTP/1.1, no interim "100 Continue", a 4xx for anything malformed."""

    protocol_version = "HTTP/1.1"
    server_version = "OrvaneContentHost/1.0"
    default_request_version = "HTTP/1.1"
    timeout = 30

    def version_string(self):
        return self.server_version

    def handle_expect_100(self):
        # WinHTTP has already sent the body; an interim answer would make it fail.
        return True

    def log_message(self, format, *args):
        pass

    def handle_one_request(self):
        try:
            self.raw_requestline = self.rfile.readline(65537)
            if len(self.raw_requestline) > 65536:
                self.requestline = ""
                self.request_version = ""
                self.command = ""
                self.send_error(414)
                return
            if not self.raw_requestline:
                self.close_connection = True
                return
            if not self.parse_request():
                return
            method = getattr(self, "do_" + self.command, None)
            if method is None or not self.command.isupper():
                self.send_error(405, "Method not allowed")
                return
            method()
            self.wfile.flush()
        except (socket.timeout, TimeoutError):
            self.close_connection = True
        except (ConnectionError, ssl.SSLError, OSError):
            self.close_connection = True

    def read_body(self):
        """The request body, or None after a 4xx answer for a body that cannot be read."""
        if "Transfer-Encoding" in self.headers:
            self.send_error(411, "Length required")
            return None
        length_text = self.headers.get("Content-Length")
        if length_text is None:
            return b""
        try:
            length = int(length_text.strip())
        except ValueError:
            self.send_error(400, "Bad Content-Length")
            return None
        if length < 0:
            self.send_error(400, "Bad Content-Length")
            return None
        if length > MAX_BODY:
            self.send_error(413, "Body too large")
            return None
        body = self.rfile.read(length)
        if len(body) != length:
            self.close_connection = True
            return None
        return body

    def send_plain(self, status, body, content_type="application/json", extra_headers=()):
        data = body if isinstance(body, bytes) else body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        for name, value in extra_headers:
            self.send_header(name, value)
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)


class ContentHandler(QuietHandler):
    """The TLS side: what the wizard talks to."""

    @property
    def state(self):
        return self.server.state

    def do_GET(self):
        self.serve(b"")

    def do_HEAD(self):
        self.serve(b"")

    def do_POST(self):
        body = self.read_body()
        if body is None:
            return
        self.serve(body)

    def serve(self, body):
        target = urllib.parse.urlsplit(self.path)
        path = target.path
        self.state.record_request({
            "time": time.time(),
            "method": self.command,
            "target": self.path,
            "path": path,
            "query": target.query,
            "version": self.request_version,
            "headers": [[name, value] for name, value in self.headers.items()],
            "body": body.decode("utf-8", errors="replace"),
            "body_base64": base64.b64encode(body).decode("ascii"),
            "tls": True,
        })
        answer = self.state.next_answer(path)
        if answer is not None:
            self.scripted(answer, path, body)
        else:
            self.normal(path, body)

    # Normal behaviour of the three endpoints.
    def normal(self, path, body):
        if path == "/o":
            self.configuration(body)
        elif path == "/zbd":
            self.analytics(body)
        elif path.startswith("/f/"):
            self.file(path)
        else:
            self.send_error(404)

    def configuration(self, body):
        if self.command != "POST":
            self.send_error(405)
            return
        try:
            json.loads(body.decode("utf-8"))
        except ValueError:
            self.send_error(400, "The request is not a JSON document")
            return
        text = json.dumps(self.state.current_config(), ensure_ascii=False, separators=(",", ":"))
        self.send_plain(200, text)

    def analytics(self, body):
        if self.command != "POST":
            self.send_error(405)
            return
        try:
            document = json.loads(body.decode("utf-8"))
            record = json.loads(document["data"])
            if not isinstance(record, dict):
                raise ValueError("record is not an object")
        except (ValueError, KeyError, TypeError):
            self.send_error(400, "The event is not a document with a data record")
            return
        authorization = self.headers.get("Authorization")
        signature_ok = authorization == expected_signature(record)
        kind = record.get("6")
        self.state.store_event(None if kind is None else str(kind), document["data"], signature_ok, authorization)
        self.send_plain(200, "{}")

    def file(self, path):
        if self.command not in ("GET", "HEAD"):
            self.send_error(405)
            return
        full = self.file_path(path)
        if full is None:
            self.send_error(404)
            return
        with open(full, "rb") as f:
            data = f.read()
        content_type = mimetypes.guess_type(full)[0] or "application/octet-stream"
        self.send_plain(200, data, content_type)

    def file_path(self, path):
        relative = urllib.parse.unquote(path[len("/f/"):])
        if not relative or "\0" in relative:
            return None
        full = os.path.realpath(os.path.join(self.state.files_dir, relative))
        if not full.startswith(self.state.files_dir + os.sep) or not os.path.isfile(full):
            return None
        return full

    # Scripted answers.
    def scripted(self, answer, path, request_body):
        if answer.get("delay_ms"):
            if self.state.stopping.wait(answer["delay_ms"] / 1000.0):
                self.close_connection = True
                return
        if answer.get("hang"):
            # Holds the connection without a word until the host stops (bounded).
            self.state.stopping.wait(HANG_LIMIT_SECONDS)
            self.close_connection = True
            return
        if answer.get("drop"):
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if answer.get("pass"):
            self.normal(path, request_body)
            return

        body = self.answer_body(answer)
        status = answer.get("status", 302 if "location" in answer else 200)
        self.send_response(status, answer.get("reason"))
        names = {name.lower() for name, _ in answer.get("headers", [])}
        if "content-type" not in names:
            self.send_header("Content-Type", "application/octet-stream" if "body_file" in answer or
                             "body_size" in answer else "application/json")
        if "location" in answer:
            self.send_header("Location", answer["location"])

        chunked = bool(answer.get("chunked"))
        declared = answer.get("content_length", len(body))
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif declared is not None:
            self.send_header("Content-Length", str(declared))
        # Without an honest length the end of the body is the end of the connection.
        closes = (not chunked and declared != len(body)) or "cut_after" in answer
        if closes:
            self.send_header("Connection", "close")
            self.close_connection = True
        for name, value in answer.get("headers", []):
            self.send_header(name, value)
        self.end_headers()
        if self.command == "HEAD":
            return

        pieces = self.answer_pieces(answer, body)
        if "cut_after" in answer:
            pieces = self.cut(pieces, int(answer["cut_after"]))
        delay = answer.get("piece_delay_ms", 0) / 1000.0
        for index, piece in enumerate(pieces):
            if index > 0 and delay and self.state.stopping.wait(delay):
                break
            if chunked:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(piece), piece))
            else:
                self.wfile.write(piece)
            self.wfile.flush()
        if chunked and "cut_after" not in answer:
            self.wfile.write(b"0\r\n\r\n")
        if closes:
            self.wfile.flush()
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def answer_body(self, answer):
        if "pieces" in answer:
            return b"".join(p.encode("utf-8") for p in answer["pieces"])
        if "body_base64" in answer:
            return base64.b64decode(answer["body_base64"])
        if "body_file" in answer:
            full = self.file_path("/f/" + answer["body_file"])
            if full is None:
                return b""
            with open(full, "rb") as f:
                return f.read()
        if "body_size" in answer:
            size = int(answer["body_size"])
            if "body_fill" in answer:
                return answer["body_fill"].encode("utf-8")[:1] * size
            pattern = bytes(range(256))
            return (pattern * (size // 256 + 1))[:size]
        return answer.get("body", "").encode("utf-8")

    @staticmethod
    def answer_pieces(answer, body):
        if "pieces" in answer:
            return [p.encode("utf-8") for p in answer["pieces"]]
        size = int(answer.get("piece_size", 0))
        if size > 0:
            return [body[i:i + size] for i in range(0, len(body), size)]
        return [body]

    @staticmethod
    def cut(pieces, limit):
        kept = []
        for piece in pieces:
            if limit <= 0:
                break
            kept.append(piece[:limit])
            limit -= len(piece)
        return kept


class ControlHandler(QuietHandler):
    """The plain-HTTP side: tests script answers and read what the host saw."""

    @property
    def state(self):
        return self.server.state

    def do_GET(self):
        target = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(target.query)
        if target.path == "/ping":
            self.send_plain(200, "ok", "text/plain")
        elif target.path == "/requests":
            path = query.get("path", [None])[0]
            self.send_plain(200, json.dumps(self.state.requests(path)))
        elif target.path == "/events":
            self.send_plain(200, json.dumps(self.state.events()))
        elif target.path == "/config":
            self.send_plain(200, json.dumps(self.state.current_config()))
        elif target.path == "/check":
            wizard_type = query.get("type", ["DLM"])[0]
            if wizard_type not in ("DLM", "ISV"):
                self.send_plain(400, json.dumps({"error": "type must be DLM or ISV"}))
                return
            problems = catalog_check.check_document(self.state.current_config(), wizard_type)
            self.send_plain(200, json.dumps({"ends_load": any(p.ends_load for p in problems),
                                             "problems": [p.as_json() for p in problems]}))
        else:
            self.send_error(404)

    def do_POST(self):
        body = self.read_body()
        if body is None:
            return
        path = urllib.parse.urlsplit(self.path).path
        try:
            if path == "/reset":
                self.state.reset()
            elif path == "/scenario":
                self.state.set_scenario(json.loads(body.decode("utf-8") or "{}"))
            else:
                self.send_error(404)
                return
        except (ValueError, ScenarioError) as e:
            self.send_plain(400, json.dumps({"error": str(e)}))
            return
        self.send_plain(200, "{}")


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    # The wizard fetches every offer's picture at once: a queue of five would leave
    # connections waiting for the client's retransmission.
    request_queue_size = 128

    def __init__(self, address, handler, state, tls_context=None):
        self.state = state
        self.tls_context = tls_context
        super().__init__(address, handler)

    def get_request(self):
        sock, address = super().get_request()
        # Headers and body leave in separate writes; without this the body waits for the
        # client's delayed acknowledgement of the headers (40 ms on every answer).
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if self.tls_context is not None:
            # The handshake happens on the handler's thread, so a silent client
            # cannot hold up the listener.
            sock = self.tls_context.wrap_socket(sock, server_side=True, do_handshake_on_connect=False)
        return sock, address

    def finish_request(self, request, client_address):
        if self.tls_context is not None:
            request.settimeout(30)
            try:
                request.do_handshake()
            except (ssl.SSLError, OSError) as e:
                log("TLS handshake with %s failed: %s" % (client_address[0], e))
                return
        super().finish_request(request, client_address)

    def handle_error(self, request, client_address):
        log("error while answering %s: %s" % (client_address[0], sys.exc_info()[1]))


def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Local content host for Orvane Setup tests and demo.")
    parser.add_argument("--host", default="127.0.0.1", help="address of both listeners")
    parser.add_argument("--port", type=int, default=443, help="TLS port of /o, /zbd and /f/")
    parser.add_argument("--control-port", type=int, default=8480, help="plain-HTTP port of the control")
    parser.add_argument("--cert", required=True, help="server certificate (PEM)")
    parser.add_argument("--key", required=True, help="server key (PEM)")
    parser.add_argument("--data-dir", required=True, help="folder of events.sqlite3 and requests.jsonl")
    parser.add_argument("--files", default=os.path.join(HERE, "files"), help="folder served below /f/")
    parser.add_argument("--config", default=os.path.join(HERE, "catalog", "sample.json"),
                        help="configuration document served by /o when no scenario says otherwise")
    parser.add_argument("--allow-invalid-catalog", action="store_true",
                        help="serve a --config catalog even when the catalog check says it ends the load")
    parser.add_argument("--scenario", help="scenario file to start with (not checked)")
    return parser.parse_args(argv)


def catalog_may_be_served(path, allow_invalid):
    """Runs the catalog check on the default configuration and says what it found on
    standard error; False when the host must not serve it."""
    try:
        document, problems = catalog_check.check_file(path)
    except OSError as e:
        log("cannot read the catalog %s: %s" % (path, e.strerror))
        return False
    if not problems:
        return True
    ends_load = any(p.ends_load for p in problems)
    # A file that is not JSON cannot be served at all, override or not.
    refused = document is None or (ends_load and not allow_invalid)
    if refused:
        log("the catalog %s would break the wizard:" % path)
    elif ends_load:
        log("serving the catalog %s although it would break the wizard:" % path)
    else:
        log("the catalog %s has problems that do not end the load:" % path)
    for problem in problems:
        sys.stderr.write("%s\n" % problem)
    if refused:
        log("not serving it" if document is None else "not serving it (--allow-invalid-catalog serves it all the same)")
    sys.stderr.flush()
    return not refused


def main(argv):
    args = parse_arguments(argv)
    if not catalog_may_be_served(args.config, args.allow_invalid_catalog):
        return 1
    os.makedirs(args.data_dir, exist_ok=True)
    state = State(args.data_dir, args.files, args.config)
    if args.scenario:
        with open(args.scenario, "rb") as f:
            state.set_scenario(json.loads(f.read().decode("utf-8")), os.path.dirname(os.path.abspath(args.scenario)))

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    content = Server((args.host, args.port), ContentHandler, state, context)
    control = Server((args.host, args.control_port), ControlHandler, state)
    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True)
               for s in (content, control)]
    for t in threads:
        t.start()
    log("serving https://%s:%d and control http://%s:%d, data in %s"
        % (args.host, args.port, args.host, args.control_port, args.data_dir))

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    while not stop.wait(0.5):
        pass
    log("stopping")
    state.stopping.set()
    for s in (content, control):
        s.shutdown()
        s.server_close()
    state.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
