"""What the package tests share: the installed packages, the fakes as separate programs, and a
small MCP client for the built server.

    with Fakes(catalogue=..., llm_script=...) as fakes:
        os.environ.update(fakes.environment())
        fakes.add_analyst_answers([analyst_answer(text("Hi"), sql("SELECT 1"))])
"""

import json
import os
import re
import shutil
import ssl
import subprocess
import tempfile
import urllib.request

SOURCE_DIR = os.environ["OSA_SOURCE_DIR"]
BIN_DIR = os.path.join(os.environ["OSA_BUILD_DIR"], "bin")
INSTALL_PREFIX = os.environ["OSA_PYTHON_PREFIX"]
DEMO_DIR = os.path.join(SOURCE_DIR, "demo")

ORDERS = "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.orders,PROD)"
CUSTOMERS = "urn:orvane:dataset:(urn:orvane:dataPlatform:snowflake,shop_db.public.customers,PROD)"

_LISTENING = re.compile(rb"listening on 127\.0\.0\.1:(\d+)")


def analyst_answer(*content, status=200):
    return {"status": status, "body": {"message": {"role": "analyst", "content": list(content)}}}


def text(value):
    return {"type": "text", "text": value}


def sql(statement):
    return {"type": "sql", "statement": statement}


def demo_llm_answers():
    with open(os.path.join(DEMO_DIR, "llm.json")) as file:
        return json.load(file)


def _start(arguments, ready, stdin=subprocess.DEVNULL):
    """Starts a program and returns it with the first stdout line that matches `ready`."""
    process = subprocess.Popen(arguments, stdin=stdin, stdout=subprocess.PIPE)
    line = process.stdout.readline()
    match = ready.search(line)
    if not match:
        process.kill()
        process.wait()
        raise RuntimeError(f"{arguments[0]} did not start: {line!r}")
    return process, match


class Fakes:
    """The fake catalogue, the fake LLM and the fake warehouse (HTTPS with its own CA, and a
    LOCAL_FS stage folder)."""

    def __init__(self, catalogue=None, llm_script=()):
        self.work_dir = tempfile.mkdtemp(prefix="osa-python-")
        self.stage_dir = os.path.join(self.work_dir, "stages")
        self._catalogue = catalogue or os.path.join(DEMO_DIR, "catalogue.json")
        self._llm_script = os.path.join(self.work_dir, "llm.json")
        with open(self._llm_script, "w") as file:
            json.dump(list(llm_script), file)
        self._processes = []

    def __enter__(self):
        try:
            catalogue, match = _start(
                [os.path.join(BIN_DIR, "fake_catalogue"), "--port", "0", "--data", self._catalogue],
                _LISTENING)
            self._processes.append(catalogue)
            self.catalogue_process = catalogue
            self.catalogue_url = f"http://127.0.0.1:{match.group(1).decode()}"
            llm, match = _start([os.path.join(BIN_DIR, "fake_llm"), self._llm_script],
                                re.compile(rb"^(http://127\.0\.0\.1:\d+/v1)"),
                                stdin=subprocess.PIPE)
            self._processes.append(llm)
            self.llm_url = match.group(1).decode()
            warehouse, match = _start(
                [os.path.join(BIN_DIR, "fake_snowflake"), "--port", "0",
                 "--tls-dir", os.path.join(self.work_dir, "tls"),
                 "--sqlite", os.path.join(self.work_dir, "warehouse.sqlite"),
                 "--seed-sql", os.path.join(DEMO_DIR, "warehouse.sql"),
                 "--stage-dir", self.stage_dir],
                _LISTENING)
            self._processes.append(warehouse)
            self.warehouse_port = int(match.group(1))
            self.ca_file = os.path.join(self.work_dir, "tls", "ca.pem")
        except BaseException:
            self.__exit__(None, None, None)
            raise
        return self

    def __exit__(self, *exc_info):
        for process in self._processes:
            if not process.stdin:
                process.terminate()
        for process in self._processes:
            # Ends fake_llm's input, its signal to stop, and drains what it prints then.
            try:
                process.communicate(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.communicate()
        shutil.rmtree(self.work_dir, ignore_errors=True)

    def environment(self):
        """The variables that point the catalogue client, the LLM calls and the warehouse
        settings at the fakes."""
        return {
            "ORVANE_SERVER_URL": self.catalogue_url,
            "OPENAI_BASE_URL": self.llm_url,
            "OPENAI_API_KEY": "fake-llm-key",
            "SNOWFLAKE__CONNECTION__ACCOUNT_ID": "fakeacct",
            "SNOWFLAKE__CONNECTION__USERNAME": "tester",
            "SNOWFLAKE__CONNECTION__PASSWORD": "secret",
            "SNOWFLAKE__CONNECTION__HOST": "127.0.0.1",
            "SNOWFLAKE__CONNECTION__PORT": str(self.warehouse_port),
            "SSL_CERT_FILE": self.ca_file,
        }

    def _control(self, method, route, body=None):
        request = urllib.request.Request(
            f"https://127.0.0.1:{self.warehouse_port}{route}", method=method,
            data=None if body is None else json.dumps(body).encode())
        context = ssl.create_default_context(cafile=self.ca_file)
        with urllib.request.urlopen(request, timeout=10, context=context) as response:
            return json.load(response)

    def add_analyst_answers(self, answers):
        self._control("POST", "/__fake__/analyst-answers", answers)

    def state(self):
        return self._control("GET", "/__fake__/state")


class McpStdioClient:
    """Just enough of an MCP client to call a tool of a server over its standard streams."""

    def __init__(self, command, env, cwd):
        self._process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL, env=env, cwd=cwd)
        self._next_id = 0
        self._request("initialize", {"protocolVersion": "2025-06-18", "capabilities": {},
                                     "clientInfo": {"name": "osa-python-tests", "version": "1"}})
        self._send({"jsonrpc": "2.0", "method": "notifications/initialized"})

    def _send(self, message):
        self._process.stdin.write((json.dumps(message) + "\n").encode())
        self._process.stdin.flush()

    def _request(self, method, params):
        self._next_id += 1
        self._send({"jsonrpc": "2.0", "id": self._next_id, "method": method, "params": params})
        answer = json.loads(self._process.stdout.readline())
        assert answer.get("id") == self._next_id, answer
        return answer["result"]

    def call_tool(self, name, arguments):
        return self._request("tools/call", {"name": name, "arguments": arguments})

    def close(self):
        """Ends the input, as a client that is done does, and returns the exit status."""
        self._process.stdin.close()
        status = self._process.wait(timeout=60)
        self._process.stdout.close()
        return status
