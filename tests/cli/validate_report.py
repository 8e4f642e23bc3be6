"""Checks a quillora-cli JSON report against its schema with Debian's python3-jsonschema.

Usage: validate_report.py SCHEMA REPORT  (exit status 0 when the report is valid, 1 with the errors otherwise)
"""
import json
import sys

from jsonschema import Draft202012Validator

with open(sys.argv[1], encoding="utf-8") as schema_file:
    schema = json.load(schema_file)
Draft202012Validator.check_schema(schema)
with open(sys.argv[2], encoding="utf-8") as report_file:
    report = json.load(report_file)
errors = sorted(Draft202012Validator(schema).iter_errors(report), key=lambda error: list(error.path))
for error in errors:
    print("/".join(str(part) for part in error.path) + ": " + error.message, file=sys.stderr)
sys.exit(1 if errors else 0)
