#!/usr/bin/env python3
"""Catalog check: would the wizard load this configuration document?

Reads a catalog (the document the content host answers on /o) the way the wizard reads
the configuration response, and lists every problem with its JSON path and what it does
to a user's run:

  ends the load               every user's configuration load ends (download type: the
                              configuration error page; installer type: no offers)
  ends the load when reached  the same, for users whose run gets to this offer or check
                              (which ones depends on their machines and the offers before)
  offer left out              the offer can never be accepted
  check fails                 a check cannot work as the catalog means it

    python3 tools/content-host/catalog_check.py [--type DLM|ISV] CATALOG.json

Exit code 0 when nothing ends the load, 1 when something does, 2 when the file cannot be
read. See README.md beside this file.
"""

import argparse
import json
import math
import re
import sys

import catalog_registry as registry

ENDS_LOAD = "ends the load"
ENDS_LOAD_WHEN_REACHED = "ends the load when reached"
OFFER_LEFT_OUT = "offer left out"
CHECK_FAILS = "check fails"
LOAD_ENDING = (ENDS_LOAD, ENDS_LOAD_WHEN_REACHED)

# The wizard refuses larger or deeper responses before parsing them.
MAX_RESPONSE_BYTES = 8 * 1024 * 1024
MAX_NESTING = 64
# Offers after this many are never read.
MAX_OFFERS_READ = 256
KNOWN_OS_VERSIONS = (61, 62, 63, 100)
# The tag of the main product that turns the offers off (download type).
NO_OFFERS_TAG = "00xA"


class Problem:
    def __init__(self, path, message, effect):
        self.path, self.message, self.effect = path, message, effect

    @property
    def ends_load(self):
        return self.effect in LOAD_ENDING

    def __str__(self):
        return "%s: %s [%s]" % (self.path, self.message, self.effect)

    def as_json(self):
        return {"path": self.path, "message": self.message, "effect": self.effect, "text": str(self)}


def member_path(path, key):
    if re.fullmatch(r"[A-Za-z_][A-Za-z0-9_]*", key):
        return "%s.%s" % (path, key)
    return "%s[%s]" % (path, json.dumps(key))


def kind_of(value):
    if value is None:
        return "null"
    if isinstance(value, bool):
        return "a boolean"
    if isinstance(value, (int, float)):
        return "a number"
    if isinstance(value, str):
        return "a string"
    return "an array" if isinstance(value, list) else "an object"


# The program's JSON accessors: what each accepts, and how it is named in a problem.
ACCESSORS = {
    "string": (lambda v: isinstance(v, str), "a string"),
    "integer": (lambda v: isinstance(v, (bool, int, float)), "an integer (a number or a boolean)"),
    "size": (lambda v: isinstance(v, (int, float)) and not isinstance(v, bool), "a number (not a boolean)"),
    "boolean": (lambda v: isinstance(v, bool), "a boolean"),
    "object": (lambda v: isinstance(v, dict), "an object"),
}


def integer_value(value):
    """The number an integer read gives: booleans count 0/1, fractions are cut off."""
    return int(value) if isinstance(value, bool) else math.trunc(value)


def list_items(value, path):
    """The items a list member yields, with their paths, in the program's order: an
    array its elements, an object its values by key (byte-wise), null nothing, and any
    other value itself once."""
    if isinstance(value, list):
        return [(item, "%s[%d]" % (path, i)) for i, item in enumerate(value)]
    if isinstance(value, dict):
        keys = sorted(value, key=lambda k: k.encode("utf-8", "surrogatepass"))
        return [(value[k], member_path(path, k)) for k in keys]
    if value is None:
        return []
    return [(value, path)]


class Reader:
    """Walks one document and collects its problems."""

    def __init__(self):
        self.problems = []

    def report(self, path, message, effect):
        self.problems.append(Problem(path, message, effect))

    def is_a(self, value, path, accessor, effect):
        accepts, name = ACCESSORS[accessor]
        if accepts(value):
            return True
        self.report(path, "expected %s, found %s" % (name, kind_of(value)), effect)
        return False

    def read(self, parent, path, key, accessor, effect, required=False):
        """The member when it is there and of the type the program reads, else None."""
        where = member_path(path, key)
        if key not in parent:
            if required:
                self.report(where, "missing (required %s)" % accessor, effect)
            return None
        value = parent[key]
        if not self.is_a(value, where, accessor, effect):
            return None
        if isinstance(value, float) and not math.isfinite(value):
            return None  # not JSON at all: reported with the document's form
        if accessor == "integer" and not isinstance(value, bool):
            number = integer_value(value)
            if not -2 ** 31 <= number < 2 ** 31:
                message = "%s does not fit a 32-bit integer" % json.dumps(value)
                if isinstance(value, int):
                    message += " (read as %d)" % ((number + 2 ** 31) % 2 ** 32 - 2 ** 31)
                self.report(where, message, CHECK_FAILS)
        return value

    def texts(self, ps, path, key, effect):
        """The (text, path) items of a list of texts; wrong items are reported."""
        if key not in ps:
            return []
        items = list_items(ps[key], member_path(path, key))
        return [(v, p) for v, p in items if self.is_a(v, p, "string", effect)]


def served_form_problems(document):
    """What keeps the document from reaching the program as JSON it takes."""
    reader = Reader()
    deepest = [0, "$"]

    def walk(value, path, depth):
        if isinstance(value, float) and (math.isnan(value) or math.isinf(value)):
            reader.report(path, "%s is not JSON" % json.dumps(value), ENDS_LOAD)
        elif isinstance(value, str) and re.search("[\ud800-\udfff]", value):
            reader.report(path, "text holds a lone surrogate, which cannot be sent as UTF-8", ENDS_LOAD)
        elif isinstance(value, (list, dict)):
            if depth + 1 > deepest[0]:
                deepest[:] = [depth + 1, path]
            if depth + 1 > MAX_NESTING:
                return  # too deep already; what lies further down changes nothing
            if isinstance(value, list):
                items = [(v, "%s[%d]" % (path, i)) for i, v in enumerate(value)]
            else:
                items = [(v, member_path(path, k)) for k, v in value.items()]
                for key in value:
                    if re.search("[\ud800-\udfff]", key):
                        reader.report(member_path(path, key),
                                      "key holds a lone surrogate, which cannot be sent as UTF-8", ENDS_LOAD)
            for item, item_path in items:
                walk(item, item_path, depth + 1)

    walk(document, "$", 0)
    if deepest[0] > MAX_NESTING:
        reader.report(deepest[1], "nested more than %d deep" % MAX_NESTING, ENDS_LOAD)
        return reader.problems
    # The host sends the document as compact UTF-8 text.
    served = json.dumps(document, ensure_ascii=False, separators=(",", ":")).encode("utf-8", "surrogatepass")
    if len(served) > MAX_RESPONSE_BYTES:
        reader.report("$", "served as %d bytes; the program takes at most %d" % (len(served), MAX_RESPONSE_BYTES),
                      ENDS_LOAD)
    return reader.problems


def check_document(document, wizard_type="DLM"):
    """Every problem of a parsed catalog, as the given wizard type reads it."""
    problems = served_form_problems(document)
    reader = Reader()
    read_response(reader, document, wizard_type)
    return problems + reader.problems


def read_response(reader, document, wizard_type):
    if not isinstance(document, dict):
        # Only the download type insists on an object: it must read "i".
        if wizard_type == "DLM":
            reader.is_a(document, "$", "object", ENDS_LOAD)
        return
    reader.read(document, "$", "l", "string", ENDS_LOAD)
    tag = ""
    if wizard_type == "DLM":
        tag = read_main_product(reader, document)
    publisher = document.get("f")
    if isinstance(publisher, dict):
        reader.read(publisher, "$.f", "a", "string", ENDS_LOAD)
    if "o" not in document or tag == NO_OFFERS_TAG:
        return

    maximum = None
    if "f" not in document:
        reader.report("$.f", "missing (required object)", ENDS_LOAD)
    elif reader.is_a(publisher, "$.f", "object", ENDS_LOAD):
        value = reader.read(publisher, "$.f", "m", "integer", ENDS_LOAD, required=True)
        if value is not None:
            maximum = integer_value(value)
    offers = list_items(document["o"], "$.o")
    if len(offers) > MAX_OFFERS_READ:
        reader.report(offers[MAX_OFFERS_READ][1], "the offers from here on are never read (the first %d are)"
                      % MAX_OFFERS_READ, OFFER_LEFT_OUT)
        offers = offers[:MAX_OFFERS_READ]
    if maximum is not None and maximum <= 0 and len(offers) > 1:
        # The maximum test stops the loop right after the first offer is built.
        reader.report("$.f.m", "%s accepts no offer; only the first offer is read" % json.dumps(document["f"]["m"]),
                      OFFER_LEFT_OUT)
        offers = offers[:1]
    exclusive_before = False
    for index, (offer, path) in enumerate(offers):
        # Every user's run builds the offers up to the maximum, unless an exclusive offer
        # before them was accepted.
        always = index == 0 or (maximum is not None and index <= maximum and not exclusive_before)
        read_offer(reader, offer, path, ENDS_LOAD if always else ENDS_LOAD_WHEN_REACHED)
        ps = offer.get("ps") if isinstance(offer, dict) else None
        exclusive_before = exclusive_before or (isinstance(ps, dict) and ps.get("exc") is True)


def read_main_product(reader, document):
    """Reads "i" as the download type does; returns the main product's tag "ch"."""
    if "i" not in document:
        reader.report("$.i", "missing (required object)", ENDS_LOAD)
        return ""
    product = document["i"]
    if not reader.is_a(product, "$.i", "object", ENDS_LOAD):
        return ""
    for key in ("ct", "cu"):
        value = reader.read(product, "$.i", key, "string", ENDS_LOAD, required=True)
        # The program keeps the text up to its first NUL.
        if value is not None and not value.split("\0", 1)[0]:
            reader.report(member_path("$.i", key), "empty", ENDS_LOAD)
    for key in ("cl", "cf", "cp", "ctu", "ch", "cfl", "cb"):
        reader.read(product, "$.i", key, "string", ENDS_LOAD)
    check_digest(reader, reader.read(product, "$.i", "sha256", "string", ENDS_LOAD), "$.i", ENDS_LOAD)
    tag = product.get("ch")
    return tag.split("\0", 1)[0] if isinstance(tag, str) else ""


OFFER_MEMBERS = [
    ("i", "string", True), ("dn", "string", True), ("u", "string", True), ("p", "string", False),
    ("cp", "string", False), ("ctu", "string", False), ("v", "integer", False), ("exc", "boolean", False),
    ("c", "string", False), ("disk", "size", False), ("ram", "size", False), ("cpu", "size", False),
    ("ov", "integer", False), ("pv", "string", False), ("win64", "boolean", False), ("x", "integer", False),
    ("sha256", "string", False),
]
TEXT_LISTS = ("fe", "ife", "a", "r", "ir", "rvn", "rvd", "eapp", "iapp")
# The sizes a preset "x" sets, overriding what the offer says.
PRESET_SIZES = {1: ("disk", "ram"), 3: ("disk", "ram", "cpu")}


def read_offer(reader, offer, path, effect):
    if not reader.is_a(offer, path, "object", effect):
        return
    ad = reader.read(offer, path, "ad", "object", effect, required=True)
    if ad is not None:
        for key in ("f", "o"):
            reader.read(ad, member_path(path, "ad"), key, "string", effect, required=True)
    ps = reader.read(offer, path, "ps", "object", effect, required=True)
    if ps is None:
        return
    path = member_path(path, "ps")
    values = {key: reader.read(ps, path, key, accessor, effect, required)
              for key, accessor, required in OFFER_MEMBERS}
    lists = {key: reader.texts(ps, path, key, effect) for key in TEXT_LISTS}
    rules = read_uninstall_rules(reader, ps, path, effect)

    check_digest(reader, values["sha256"], path, effect)
    check_requirements(reader, values, path)
    check_registry_lists(reader, lists, path)
    check_applications(reader, lists, path)
    check_uninstall_rules(reader, rules)


def check_digest(reader, value, path, effect):
    """A file's digest is read only as 64 hexadecimal digits; any other text is refused."""
    if value is not None and not re.fullmatch(r"[0-9A-Fa-f]{64}", value):
        reader.report(member_path(path, "sha256"), "not 64 hexadecimal digits", effect)


def read_uninstall_rules(reader, ps, path, effect):
    rules = []
    if "cmdu" not in ps:
        return rules
    for rule, rule_path in list_items(ps["cmdu"], member_path(path, "cmdu")):
        if not reader.is_a(rule, rule_path, "object", effect):
            continue
        fields = {key: reader.read(rule, rule_path, key, "string", effect, required=True)
                  for key in ("utr", "utk", "utvn", "utvt")}
        fields["umd"] = reader.read(rule, rule_path, "umd", "integer", effect, required=True)
        reader.read(rule, rule_path, "utms", "boolean", effect)
        rules.append((fields, rule_path))
    return rules


def check_requirements(reader, values, path):
    os_version = values["ov"]
    if os_version is not None and integer_value(os_version) > 0 and integer_value(os_version) not in KNOWN_OS_VERSIONS:
        reader.report(member_path(path, "ov"), "%s is not a Windows version the check knows (61, 62, 63, 100)"
                      % json.dumps(os_version), OFFER_LEFT_OUT)
    preset = values["x"]
    overridden = PRESET_SIZES.get(integer_value(preset), ()) if preset is not None else ()
    for key in ("disk", "ram", "cpu"):
        size = values[key]
        # A negative size wraps round to one that no machine has.
        if size is not None and key not in overridden and math.trunc(size) < 0:
            reader.report(member_path(path, key), "%s is negative: no machine meets it" % json.dumps(size),
                          OFFER_LEFT_OUT)


def check_registry_lists(reader, lists, path):
    kinds = {"r": "key", "ir": "key", "rvn": "value", "rvd": "data"}
    for key, kind in kinds.items():
        entries = lists[key]
        usable = 0
        for index, (entry, entry_path) in enumerate(entries):
            if not entry:
                if key == "rvd":
                    continue  # skipped; the entries after it still count
                if key == "ir" and index == 0:
                    reader.report(entry_path, "empty entry: no key is ever found", OFFER_LEFT_OUT)
                    usable = -1
                elif index + 1 < len(entries):
                    reader.report(entry_path, "empty entry: the entries after it are never looked at", CHECK_FAILS)
                break  # an empty entry answers for the whole list
            root = registry.root_problem(entry)
            if root:
                reader.report(entry_path, root, CHECK_FAILS)
            else:
                usable += 1
            unreadable = registry.unreadable_key(entry, kind)
            if unreadable:
                reader.report(entry_path, 'the program cannot look up "%s"' % unreadable, ENDS_LOAD_WHEN_REACHED)
        if key == "ir" and entries and usable == 0:
            reader.report(member_path(path, key), "no entry can be found", OFFER_LEFT_OUT)


def check_applications(reader, lists, path):
    # Installed applications are indexed by lower-case names and compared exactly.
    for key, effect in (("iapp", OFFER_LEFT_OUT), ("eapp", CHECK_FAILS)):
        for name, name_path in lists[key]:
            if name != name.lower():
                reader.report(name_path, "upper-case letters never match an installed application", effect)


def check_uninstall_rules(reader, rules):
    for fields, rule_path in rules:
        root, key = fields["utr"], fields["utk"]
        if root is None or key is None:
            continue
        first = root.split("\\", 1)[0]
        if first.lower() not in registry.LONG_ROOTS:
            reader.report(member_path(rule_path, "utr"), 'unknown registry root "%s"' % first, ENDS_LOAD_WHEN_REACHED)
            continue
        for candidate in registry.uninstall_candidates(root, key):
            if registry.key_lookup_fails(candidate):
                reader.report(member_path(rule_path, "utk"), 'the program cannot look up "%s"' % candidate,
                              ENDS_LOAD_WHEN_REACHED)
                break


def load_catalog(path):
    """(document, problems) of a catalog file, read as the host reads it; the document
    is None when the file is not JSON. OSError when it cannot be read."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        line = data[:e.start].count(b"\n") + 1
        column = e.start - (data.rfind(b"\n", 0, e.start) + 1) + 1
        return None, [Problem("line %d, column %d" % (line, column), "not UTF-8 (byte 0x%02x)" % data[e.start],
                              ENDS_LOAD)]
    try:
        document = json.loads(text)
    except json.JSONDecodeError as e:
        return None, [Problem("line %d, column %d" % (e.lineno, e.colno), "invalid JSON (%s)" % e.msg, ENDS_LOAD)]
    except RecursionError:
        return None, [Problem("$", "nested too deeply to read", ENDS_LOAD)]
    except ValueError as e:  # numbers Python itself refuses to read
        return None, [Problem("$", "invalid JSON (%s)" % e, ENDS_LOAD)]
    return document, []


def check_file(path, wizard_type="DLM"):
    document, problems = load_catalog(path)
    if document is None:
        return None, problems
    return document, check_document(document, wizard_type)


def summary(name, document, problems, wizard_type="DLM"):
    type_name = "download type" if wizard_type == "DLM" else "installer type"
    if problems:
        ending = sum(1 for p in problems if p.ends_load)
        return "%s: %d problem%s (%s), %s the load" % (
            name, len(problems), "" if len(problems) == 1 else "s", type_name,
            "%d end%s" % (ending, "s" if ending == 1 else "") if ending else "none ends")
    if not isinstance(document, dict):
        return "%s: no problems (%s): no offers" % (name, type_name)
    parts = []
    if wizard_type == "DLM":
        parts.append('main product "%s"' % document["i"]["ct"])
        if document["i"].get("ch") == NO_OFFERS_TAG:
            parts.append('offers turned off by "ch"')
    if "o" in document and not (wizard_type == "DLM" and document["i"].get("ch") == NO_OFFERS_TAG):
        count = len(list_items(document["o"], "$.o"))
        parts.append("%d offer%s, at most %s accepted" % (count, "" if count == 1 else "s",
                                                          integer_value(document["f"]["m"])))
    else:
        parts.append("no offers")
    return "%s: no problems (%s): %s" % (name, type_name, ", ".join(parts))


def main(argv):
    parser = argparse.ArgumentParser(description="Checks a catalog against what the wizard reads.")
    parser.add_argument("catalog", help="configuration document (JSON) as the content host serves it")
    parser.add_argument("--type", choices=("DLM", "ISV"), default="DLM",
                        help="wizard type that reads it (default DLM, the download type)")
    args = parser.parse_args(argv)
    try:
        document, problems = check_file(args.catalog, args.type)
    except OSError as e:
        sys.stderr.write("catalog_check: cannot read %s: %s\n" % (args.catalog, e.strerror))
        return 2
    for problem in problems:
        print(problem)
    print(summary(args.catalog, document, problems, args.type))
    return 1 if any(p.ends_load for p in problems) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
