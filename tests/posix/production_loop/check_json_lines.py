#!/usr/bin/env python3
"""Checks every line of a JSON Lines file against the console's documented schema.

Usage: check_json_lines.py SCHEMA FILE [DEFINITION]. With DEFINITION (e.g. "record") the
lines are checked against that definition instead of the whole event schema. Prints each
line that fails and why; the exit status is 1 when one did, or when the file has no line.
"""
import json
import sys

import jsonschema

schema_path, lines_path = sys.argv[1], sys.argv[2]
with open(schema_path, encoding="utf-8") as f:
    schema = json.load(f)
if len(sys.argv) > 3:
    schema = {"$ref": "#/definitions/" + sys.argv[3], "definitions": schema["definitions"]}
validator = jsonschema.Draft7Validator(schema)
failures = 0
count = 0
with open(lines_path, encoding="utf-8") as f:
    for number, line in enumerate(f, 1):
        count += 1
        try:
            errors = [e.message for e in validator.iter_errors(json.loads(line))]
        except json.JSONDecodeError as error:
            errors = ["not JSON: %s" % error]
        if errors:
            failures += 1
            print("line %d: %s\n  %s" % (number, "; ".join(errors)[:400], line[:200].rstrip()))
print("%d lines, %d failed" % (count, failures))
sys.exit(1 if failures or count == 0 else 0)
