#!/usr/bin/env python3
"""Generates the initialiser of DictIndexNative::s_dictNative from commands/DictNative.txt.

  gen_dict_native.py SOURCE_DIR OUTPUT HEADER...

HEADERs (relative to SOURCE_DIR) declare the handler classes; the output includes them. Before
writing anything it checks the table: the slot layout and the summary figures below, that every
argument-type array exists in commands/DictArgTypes.h and holds a word for every parameter a
form admits, that every handler class is declared in one of the HEADERs, and that every pattern
compiles. A failed check ends the build with the reasons.
"""

import os
import re
import sys

TABLE = "commands/DictNative.txt"
ARG_TYPES = "commands/DictArgTypes.h"

SLOTS = 215
USED = 211
VALUE_BOUND = 117
GENERIC = 115  # value-bound entries served by the library's generic value handlers
ROOTED = 83
ADMINISTRATOR = 7
CHANNEL_LISTS = 2
HANDLER_CLASSES = 92
# Entries whose setting-form types DictIndexNative::swapUnitSuffix sets by name.
MODE_ENTRIES = ("ProgStepLev", "ProgStepTranStar", "ProgLastLev")
MODE_ARRAYS = ("args_amps_noMM", "args_siem_noMM", "args_volts_noMM", "args_watts_noMM",
               "args_nrfp")
GENERIC_PREFIX = "zo4882::_IFMAIN_gen"
COLUMNS = ("slot", "name", "handler", "value", "admin", "set", "set_args", "set_ch", "query",
           "query_args", "query_ch", "first", "second", "root", "pattern")


class Row:
    def __init__(self, fields, line):
        for key, text in zip(COLUMNS, fields):
            setattr(self, key, text)
        self.line = line

    @property
    def empty(self):
        return self.name in ("-", '""')

    @property
    def value_id(self):
        return 0 if self.value == "-" else int(self.value)


def read_table(path, errors):
    rows = []
    with open(path, encoding="ascii") as table:
        for number, text in enumerate(table, 1):
            text = text.strip()
            if not text or text.startswith("#"):
                continue
            fields = text.split()
            if len(fields) != len(COLUMNS):
                errors.append(f"{path}:{number}: {len(fields)} columns, not {len(COLUMNS)}")
                continue
            rows.append(Row(fields, number))
    return rows


def parse_count(text):
    """'-' -> (0, 0); 'n' -> (n, n); 'a-b' -> (a, b)."""
    if text == "-":
        return 0, 0
    low, _, high = text.partition("-")
    return int(low), int(high or low)


def array_sizes(path):
    """Word count of every argument-type array, counting commas outside parentheses."""
    with open(path, encoding="ascii") as header:
        source = header.read()
    sizes = {}
    for name, body in re.findall(r"unsigned\s+(args_\w+)\[\]\s*=\s*\{(.*?)\};", source, re.S):
        depth, words = 0, 1
        for char in body:
            depth += char == "("
            depth -= char == ")"
            words += char == "," and depth == 0
        sizes[name] = words
    return sizes


def declared_classes(paths):
    names = set()
    for path in paths:
        with open(path, encoding="ascii") as header:
            source = header.read()
        names.update(re.findall(r"\b(?:class|struct)\s+(\w+)\b", source))
        names.update(re.findall(r"\busing\s+(\w+)\s*=", source))
    return names


def check(rows, sizes, classes, errors):
    if [r.slot for r in rows] != [str(i) for i in range(SLOTS)]:
        errors.append(f"slots must run 0 to {SLOTS - 1} in order")
    used = [r for r in rows if not r.empty]
    names = [r.name for r in used]
    for name in sorted({n for n in names if names.count(n) > 1}):
        errors.append(f"entry name {name} is used twice")
    figures = (
        ("used slots", len(used), USED),
        ("value-bound entries", sum(r.value_id != 0 for r in used), VALUE_BOUND),
        ("generic value entries",
         sum(r.value_id != 0 and r.handler.startswith(GENERIC_PREFIX) for r in used), GENERIC),
        ("entries with the optional root", sum(r.root == "1" for r in used), ROOTED),
        ("administrator entries", sum(r.admin != "0" for r in used), ADMINISTRATOR),
        ("entries with channel lists",
         sum(r.set_ch == "1" or r.query_ch == "1" for r in used), CHANNEL_LISTS),
        ("handler classes", len({r.handler for r in used}), HANDLER_CLASSES),
    )
    for what, found, expected in figures:
        if found != expected:
            errors.append(f"{found} {what}, expected {expected}")
    for name in MODE_ENTRIES:
        if name not in names:
            errors.append(f"no entry {name}, whose types follow the function mode")
    for name in MODE_ARRAYS:
        if name not in sizes:
            errors.append(f"argument-type array {name} is missing")

    for r in rows:
        where = f"line {r.line} (slot {r.slot} {r.name})"
        if r.empty:
            if any(getattr(r, c) not in ("-", "0") for c in COLUMNS[2:]):
                errors.append(f"{where}: an empty slot holds nothing")
            continue
        if r.handler.split("::")[-1] not in classes:
            errors.append(f"{where}: handler class {r.handler} is not declared")
        for form, count, args in (("set", r.set, r.set_args), ("query", r.query, r.query_args)):
            low, high = parse_count(count)
            if low > high:
                errors.append(f"{where}: {form} count {count} runs backwards")
            if args == "(mode)":
                if form != "set" or r.name not in MODE_ENTRIES:
                    errors.append(f"{where}: only the program-step levels follow the mode")
                elif high > 1:
                    errors.append(f"{where}: a level takes one parameter")
            elif args == "-":
                if high > 0:
                    errors.append(f"{where}: {form} form takes {count} but has no types")
            elif args not in sizes:
                errors.append(f"{where}: argument-type array {args} is missing")
            elif sizes[args] < high:
                errors.append(f"{where}: {args} has {sizes[args]} words for {high} parameters")
        for column in ("admin", "set_ch", "query_ch", "root"):
            if getattr(r, column) not in ("0", "1"):
                errors.append(f"{where}: {column} is 0 or 1")
        if not re.fullmatch(r"[*A-Z]+", r.first) or not re.fullmatch(r"[A-Z]+", r.second):
            errors.append(f"{where}: letter sets hold upper-case letters (and * first)")
        try:
            re.compile(r.pattern, re.I)
        except re.error as e:
            errors.append(f"{where}: pattern does not compile: {e}")


def c_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def count_word(text):
    low, high = parse_count(text)
    return f"zo4882::zoArgCount({low}, {high})"


def array_ref(name):
    return "nullptr" if name in ("-", "(mode)") else f"dictargs::{name}"


def initialiser(r):
    if r.empty:
        name = '""' if r.name == '""' else "nullptr"
        return f"    {{ {name}, nullptr, 0, 0, 0, nullptr, 0, 0, nullptr, 0, nullptr, " \
               "nullptr, nullptr, 0, nullptr },"
    maker = "createIfAvailable" if r.value_id else "zo4882::ZOCommand::create"
    fields = (
        c_string(r.name),
        f"&{maker}<{r.handler}>",
        str(r.value_id),
        r.admin,
        count_word(r.set),
        array_ref(r.set_args),
        r.set_ch,
        count_word(r.query),
        array_ref(r.query_args),
        r.query_ch,
        c_string(r.first),
        c_string(r.second),
        c_string(r.pattern),
        r.root,
        "nullptr",
    )
    return f"    {{ {', '.join(fields)} }}, // {r.slot}"


def main(argv):
    if len(argv) < 4:
        sys.exit(__doc__)
    source, output, headers = argv[1], argv[2], argv[3:]
    errors = []
    rows = read_table(os.path.join(source, TABLE), errors)
    if not errors:
        check(rows,
              array_sizes(os.path.join(source, ARG_TYPES)),
              declared_classes([os.path.join(source, h) for h in headers]),
              errors)
    if errors:
        for error in errors:
            print(f"{TABLE}: {error}", file=sys.stderr)
        sys.exit(1)

    includes = sorted({ARG_TYPES, "commands/DictIndexNative.h", "commands/NotAvailable.h"}
                      | set(headers))
    lines = [f"// Generated from {TABLE} by commands/gen_dict_native.py; edit the table.", ""]
    lines += [f'#include "{h}"' for h in includes]
    lines += ["", f"zo4882::ZO_SCPI_DICT_ENTRY DictIndexNative::s_dictNative[{SLOTS}] = {{"]
    lines += [initialiser(r) for r in rows]
    lines += ["};", ""]
    text = "\n".join(lines)
    try:
        with open(output, encoding="ascii") as old:
            if old.read() == text:
                return
    except OSError:
        pass
    with open(output, "w", encoding="ascii") as out:
        out.write(text)


if __name__ == "__main__":
    main(sys.argv)
