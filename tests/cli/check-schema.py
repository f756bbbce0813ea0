#!/usr/bin/env python3
"""The configuration JSON's schema against the tool's own reader.

check-schema.py CLI SCHEMA CORPUS...

Every JSON `convert` writes from the corpus (the fuzzers' configuration
files and JSON, the demo PLC's configuration) passes the schema and names
it; for each rule of the reader a file that breaks it is refused by both
`convert` and the schema, and a file at a rule's edge is taken by both.
"""

import json
import os
import subprocess
import sys
import tempfile

import jsonschema

cli, schema_path, corpus = sys.argv[1], sys.argv[2], sys.argv[3:]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
failures = []


def convert(source, target):
    return subprocess.run([cli, "convert", source, target], capture_output=True, text=True,
                          timeout=30, check=False)


def valid(document):
    return not list(validator.iter_errors(document))


RECORD = 15046
work = tempfile.mkdtemp()
written = 0
for folder in corpus:
    files = [folder] if os.path.isfile(folder) else [os.path.join(folder, n)
                                                      for n in sorted(os.listdir(folder))]
    for source in files:
        # The fuzzers' inputs have no endings: a folder of JSON says so by
        # its name, any other holds records.
        ending = ".json" if "json" in os.path.basename(os.path.dirname(source) or source) \
            or source.endswith(".json") else ".apc"
        named = os.path.join(work, "in" + ending)
        with open(source, "rb") as f, open(named, "wb") as g:
            contents = f.read()
            # A record is read as the fuzzer reads it: padded with zeros
            # when short, what lies beyond it ignored.
            if ending == ".apc":
                contents = contents[:RECORD].ljust(RECORD, b"\0")
            g.write(contents)
        out = os.path.join(work, "out.json")
        if os.path.exists(out):
            os.remove(out)
        if convert(named, out).returncode != 0:
            continue
        written += 1
        with open(out, encoding="utf-8") as f:
            document = json.load(f)
        errors = [e.message for e in validator.iter_errors(document)]
        if errors:
            failures.append(f"{source}: written, and the schema refuses it: {errors[0]}")
        if document.get("$schema") != schema["$id"]:
            failures.append(f"{source}: written without the schema's name")
if written < 5:
    failures.append(f"only {written} files of the corpus were converted")

REQUEST = ["1", "3", "0", "100", "1", "1000"]
SENSOR = ["28", "FF", "4C", "5D", "03", "00", "00", "9A", "3000"]


def request(column, value):
    row = list(REQUEST)
    row[column] = value
    return {"uart1": {"role": 0, "requests": [row]}}


def sensor(column, value):
    row = list(SENSOR)
    row[column] = value
    return {"aux": {"mode": 0, "sensors": [row]}}


# Each breaks one rule of the reader or of a download's checks.
REFUSED = {
    "not an object": [],
    "unknown key": {"uart3": {}},
    "unknown key in a UART": {"uart1": {"request": []}},
    "unknown key in aux": {"aux": {"sensor": []}},
    "unknown key in fieldNet": {"aux": {"fieldNet": {"baud": 0}}},
    "unknown key in a point": {"io": [{"name": "x"}]},
    "$schema not text": {"$schema": 1},
    "UART not an object": {"uart2": []},
    "aux not an object": {"aux": "1-wire"},
    "fieldNet not an object": {"aux": {"fieldNet": 1}},
    "role above its list": {"uart1": {"role": 3}},
    "role not whole": {"uart1": {"role": 0.5}},
    "role as text": {"uart1": {"role": "0"}},
    "speed above its list": {"uart2": {"speed": 8}},
    "parity below its list": {"uart1": {"parity": -1}},
    "UART 1 data bits none chosen": {"uart1": {"dataBits": -1}},
    "UART 2 stop bits above its list": {"uart2": {"stopBits": 3}},
    "UART 2 data bits below none": {"uart2": {"dataBits": -2}},
    "aux mode above its list": {"aux": {"mode": 3}},
    "Field Net speed above its list": {"aux": {"fieldNet": {"speed": 5}}},
    "Field Net parity above its list": {"aux": {"fieldNet": {"parity": 3}}},
    "Field Net data bits above its list": {"aux": {"fieldNet": {"dataBits": 2}}},
    "Field Net stop bits above its list": {"aux": {"fieldNet": {"stopBits": 2}}},
    "slave address neither text nor a number": {"uart1": {"slaveAddress": True}},
    "slave address above a byte": {"uart1": {"slaveAddress": "256"}},
    "slave address not a number": {"uart2": {"slaveAddress": "x"}},
    "slave's address above 247": {"uart1": {"role": 1, "slaveAddress": 248}},
    "slave's address 0": {"uart2": {"role": 1, "slaveAddress": "0"}},
    "slave timeout null": {"uart2": {"slaveTimeout": None}},
    "slave timeout empty": {"uart1": {"slaveTimeout": ""}},
    "slave timeout not whole": {"uart1": {"slaveTimeout": "1.5"}},
    "UART 1 slave timeout beyond 16 bits": {"uart1": {"slaveTimeout": 32768}},
    "UART 2 slave timeout beyond its box": {"uart2": {"slaveTimeout": "-10000"}},
    "requests not an array": {"uart1": {"requests": {}}},
    "129 requests": {"uart2": {"requests": [REQUEST] * 129}},
    "request row not an array": {"uart1": {"requests": ["1"]}},
    "request row a cell short": {"uart1": {"requests": [REQUEST[:5]]}},
    "request row a cell long": {"uart1": {"requests": [REQUEST + ["1"]]}},
    "request cell neither text nor a number": request(0, False),
    "request cell not a number": request(0, "one"),
    "request address above 248": request(0, "249"),
    "request Num word above 255": request(1, 256),
    "request Num word negative": request(1, "-1"),
    "request slave register above 7999": request(2, "8000"),
    "request master register negative": request(3, -1),
    "request function above 4": request(4, "5"),
    "request timeout 0": request(5, "0"),
    "request timeout above 12 bits": request(5, 4096),
    "request timeout beyond 16 bits": request(5, "40000"),
    "sensors not an array": {"aux": {"sensors": "none"}},
    "129 sensors": {"aux": {"sensors": [SENSOR] * 129}},
    "sensor row a cell short": {"aux": {"sensors": [SENSOR[:8]]}},
    "sensor byte one digit": sensor(0, "8"),
    "sensor byte not hex": sensor(1, "G0"),
    "sensor byte 0x": sensor(2, "0x1"),
    "sensor byte empty": sensor(3, ""),
    "sensor byte a number of one digit": sensor(4, 5),
    "sensor byte a number of three digits": sensor(5, 100),
    "sensor register above 7997": sensor(8, "7998"),
    "sensor register beyond 16 bits": sensor(8, -32769),
    "io not an array": {"io": {}},
    "22 points": {"io": [{}] * 22},
    "point not an object": {"io": [0]},
    "point function above its list": {"io": [{"function": 3}]},
    "point text neither text nor a number": {"io": [{"programName": []}]},
    "128 sensors beside UART 1's requests": {
        "uart1": {"role": 0, "requests": [REQUEST]},
        "aux": {"mode": 0, "sensors": [SENSOR] * 128},
    },
}

# At the rules' edges: taken by both.
TAKEN = {
    "nothing": {},
    "$schema of any text": {"$schema": "https://example.org/other.json"},
    "cells as numbers": {"uart1": {"role": 0, "requests": [[1, 3, 0, 100, 1, 1000]]}},
    "cells with blanks, signs and zeros": request(0, " +0248 "),
    "minus zero": request(2, "-0"),
    "whole numbers with a point": {"uart1": {"role": 1.0, "slaveAddress": 5.0}},
    "128 requests": {"uart2": {"requests": [REQUEST] * 128}},
    "UART 2 without data bits": {"uart2": {"dataBits": -1, "stopBits": -1}},
    "sensor bytes lower case, and a number": sensor(0, "ff") | {},
    "sensor byte a number of two digits": sensor(1, 28),
    "lowest sensor register": sensor(8, "-32768"),
    "slave address 0 when not a slave": {"uart1": {"role": 0, "slaveAddress": "0"}},
    "UART 2 slave timeout at its box's edge": {"uart2": {"slaveTimeout": "-9999"}},
    "128 sensors without requests": {
        "uart1": {"role": 0, "requests": []},
        "aux": {"mode": 0, "sensors": [SENSOR] * 128},
    },
    "21 points": {"io": [{"function": 2, "functionText": 7, "programName": "pump"}] * 21},
}

for cases, accepted in ((REFUSED, False), (TAKEN, True)):
    for name, document in cases.items():
        source = os.path.join(work, "case.json")
        with open(source, "w", encoding="utf-8") as f:
            json.dump(document, f)
        out = os.path.join(work, "case.apc")
        run = convert(source, out)
        if (run.returncode == 0) != accepted:
            failures.append(f"{name}: convert {'refused' if accepted else 'took'} it "
                            f"({run.returncode}: {run.stderr.strip()})")
        elif not accepted and run.returncode != 4:
            failures.append(f"{name}: convert ended with {run.returncode}: {run.stderr.strip()}")
        if valid(document) != accepted:
            failures.append(f"{name}: the schema {'refused' if accepted else 'took'} it")
        # What the record gives back as JSON passes too.
        back = os.path.join(work, "back.json")
        if accepted and run.returncode == 0 and convert(out, back).returncode == 0:
            with open(back, encoding="utf-8") as f:
                if not valid(json.load(f)):
                    failures.append(f"{name}: written back as JSON, the schema refuses it")

for failure in failures:
    print(failure)
print(f"schema: {written} files written from the corpus, {len(REFUSED)} refused and "
      f"{len(TAKEN)} taken by both")
sys.exit(1 if failures else 0)
