#!/usr/bin/env python3
"""validate_json.py SCHEMA FILE: exit 0 when FILE validates against the JSON schema, 1 with the
first error otherwise, 77 when no validator is installed (Debian's python3-jsonschema)."""
import json
import sys

try:
    import jsonschema
except ImportError:
    sys.exit(77)

with open(sys.argv[1], encoding="utf-8") as f:
    schema = json.load(f)
with open(sys.argv[2], encoding="utf-8") as f:
    document = json.load(f)
try:
    jsonschema.validate(document, schema)
except jsonschema.ValidationError as error:
    print(f"{list(error.absolute_path)}: {error.message}", file=sys.stderr)
    sys.exit(1)
