#!/usr/bin/env python3
"""Checks of the catalog check: the catalogs here pass, and each kind of broken catalog
gets its one exact problem line. Broken catalogs are the sample with one change."""

import copy
import json
import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import catalog_check  # noqa: E402

CATALOGS = os.path.join(HERE, "catalog")
SAMPLE_PATH = os.path.join(CATALOGS, "sample.json")
with open(SAMPLE_PATH, encoding="utf-8") as f:
    SAMPLE = json.load(f)


def changed(change):
    document = copy.deepcopy(SAMPLE)
    change(document)
    return document


def lines(document, wizard_type="DLM"):
    return [str(p) for p in catalog_check.check_document(document, wizard_type)]


def ps(index):
    """A change of the "ps" object of one sample offer."""
    def wrap(change):
        return lambda d: change(d["o"][index]["ps"])
    return wrap


def put(key, value):
    return lambda obj: obj.__setitem__(key, value)


def drop(key):
    return lambda obj: obj.pop(key)


RULE = {"utr": "HKEY_CURRENT_USER", "utk": "Software\\Harbor\\Backup", "utvn": "UninstallTime",
        "utvt": "REG_DWORD", "umd": 30}


def rule(**members):
    result = dict(RULE, **members)
    return {k: v for k, v in result.items() if v is not None}


class CatalogsHereTest(unittest.TestCase):
    def test_every_catalog_in_the_folder_passes_for_both_types(self):
        checked = []
        for name in sorted(os.listdir(CATALOGS)):
            if not name.endswith(".json"):
                continue
            document, problems = catalog_check.load_catalog(os.path.join(CATALOGS, name))
            # Other files kept here (an autopilot script, say) are not configuration documents.
            if isinstance(document, dict) and not {"l", "f", "i", "o"} & set(document):
                continue
            checked.append(name)
            for wizard_type in ("DLM", "ISV"):
                with self.subTest(catalog=name, type=wizard_type):
                    self.assertEqual([], [str(p) for p in problems] + lines(document, wizard_type))
        self.assertIn("sample.json", checked)


class BrokenCatalogTest(unittest.TestCase):
    def test_each_problem_gets_its_path_and_what_it_does(self):
        cases = [
            # The JSON access rules: a missing required member or a wrong type ends the load.
            (ps(2)(drop("u")), "$.o[2].ps.u: missing (required string) [ends the load]"),
            (lambda d: d["i"].pop("ct"), "$.i.ct: missing (required string) [ends the load]"),
            (lambda d: d["i"].__setitem__("cu", ""), "$.i.cu: empty [ends the load]"),
            (lambda d: d.pop("i"), "$.i: missing (required object) [ends the load]"),
            (lambda d: d["i"].__setitem__("cl", None), "$.i.cl: expected a string, found null [ends the load]"),
            (lambda d: d.__setitem__("l", 49), "$.l: expected a string, found a number [ends the load]"),
            (lambda d: d.pop("f"), "$.f: missing (required object) [ends the load]"),
            (lambda d: d["f"].__setitem__("m", "2"),
             "$.f.m: expected an integer (a number or a boolean), found a string [ends the load]"),
            (lambda d: d["o"][0].pop("ad"), "$.o[0].ad: missing (required object) [ends the load]"),
            (lambda d: d["o"][1]["ad"].__setitem__("o", 7), "$.o[1].ad.o: expected a string, found a number [ends the load]"),
            (lambda d: d["o"][0].__setitem__("ps", []), "$.o[0].ps: expected an object, found an array [ends the load]"),
            (ps(0)(put("disk", "50")), "$.o[0].ps.disk: expected a number (not a boolean), found a string [ends the load]"),
            (ps(0)(put("ram", True)), "$.o[0].ps.ram: expected a number (not a boolean), found a boolean [ends the load]"),
            (ps(0)(put("exc", 1)), "$.o[0].ps.exc: expected a boolean, found a number [ends the load]"),
            (ps(1)(put("v", "2")), "$.o[1].ps.v: expected an integer (a number or a boolean), found a string [ends the load]"),
            # File digests.
            (ps(0)(put("sha256", "ab" * 31)), "$.o[0].ps.sha256: not 64 hexadecimal digits [ends the load]"),
            (ps(0)(put("sha256", 5)), "$.o[0].ps.sha256: expected a string, found a number [ends the load]"),
            (lambda d: d["i"].__setitem__("sha256", "g" * 64), "$.i.sha256: not 64 hexadecimal digits [ends the load]"),
            # Lists and their items.
            (ps(1)(put("fe", ["a.exe", 5])), "$.o[1].ps.fe[1]: expected a string, found a number [ends the load]"),
            (ps(1)(put("a", {"k": False})), '$.o[1].ps.a.k: expected a string, found a boolean [ends the load]'),
            (ps(1)(put("ir", 3)), "$.o[1].ps.ir: expected a string, found a number [ends the load]"),
            (lambda d: d.__setitem__("o", 5), "$.o: expected an object, found a number [ends the load]"),
            # Uninstall rules.
            (ps(2)(put("cmdu", ["x"])), "$.o[2].ps.cmdu[0]: expected an object, found a string [ends the load]"),
            (ps(2)(put("cmdu", {"utr": "HKCU"})),
             "$.o[2].ps.cmdu.utr: expected an object, found a string [ends the load]"),
            (ps(2)(put("cmdu", [rule(umd=None)])), "$.o[2].ps.cmdu[0].umd: missing (required integer) [ends the load]"),
            (ps(2)(put("cmdu", [rule(utvt=4)])), "$.o[2].ps.cmdu[0].utvt: expected a string, found a number [ends the load]"),
            (ps(2)(put("cmdu", [rule(utms="yes")])),
             "$.o[2].ps.cmdu[0].utms: expected a boolean, found a string [ends the load]"),
            (ps(2)(put("cmdu", [rule(utr="HKLM")])),
             '$.o[2].ps.cmdu[0].utr: unknown registry root "HKLM" [ends the load when reached]'),
            (ps(2)(put("cmdu", [rule(utk="Software\\")])),
             '$.o[2].ps.cmdu[0].utk: the program cannot look up "hkey_current_user\\software\\" '
             '[ends the load when reached]'),
            # Registry roots and paths of the checks.
            (ps(1)(put("r", ["HKCU\\Software\\Lumen", "HKEY_CURRENT\\Software\\X"])),
             '$.o[1].ps.r[1]: unknown registry root "HKEY_CURRENT" [check fails]'),
            (ps(1)(put("rvn", ["HKLM\\Software\\Lumen\\Version", "HKLM"])),
             '$.o[1].ps.rvn[1]: registry root "HKLM" without a key [check fails]'),
            (ps(1)(put("r", ["HKLM\\Software\\"])),
             '$.o[1].ps.r[0]: the program cannot look up "hkey_local_machine\\software\\" [ends the load when reached]'),
            (ps(1)(put("rvd", ["\\Installed\\1"])),
             '$.o[1].ps.rvd[0]: the program cannot look up "hkey_local_machine\\software\\" '
             '[ends the load when reached]'),
            (ps(1)(put("r", ["", "HKCU\\Software\\Lumen"])),
             "$.o[1].ps.r[0]: empty entry: the entries after it are never looked at [check fails]"),
            (ps(1)(put("ir", [""])), "$.o[1].ps.ir[0]: empty entry: no key is ever found [offer left out]"),
            # Values no machine can meet.
            (ps(1)(put("ov", 64)), "$.o[1].ps.ov: 64 is not a Windows version the check knows (61, 62, 63, 100) "
                                   "[offer left out]"),
            (ps(0)(put("disk", -1)), "$.o[0].ps.disk: -1 is negative: no machine meets it [offer left out]"),
            (ps(1)(put("iapp", ["Lumen.exe"])),
             "$.o[1].ps.iapp[0]: upper-case letters never match an installed application [offer left out]"),
            (ps(1)(put("v", 2 ** 32 + 2)), "$.o[1].ps.v: 4294967298 does not fit a 32-bit integer (read as 2) "
                                           "[check fails]"),
        ]
        for change, expected in cases:
            with self.subTest(expected=expected):
                self.assertEqual([expected], lines(changed(change)))

    def test_an_unknown_root_as_the_only_required_key_leaves_the_offer_out(self):
        document = changed(ps(1)(put("ir", ["HKEY_CURRENT\\Software\\Lumen"])))
        self.assertEqual(['$.o[1].ps.ir[0]: unknown registry root "HKEY_CURRENT" [check fails]',
                          "$.o[1].ps.ir: no entry can be found [offer left out]"], lines(document))

    def test_what_the_program_reads_without_trouble(self):
        cases = [
            ps(1)(put("v", True)),                     # vertical 1
            ps(0)(put("disk", 2.9)),                   # 2 MiB
            ps(1)(put("fe", "{localappdata}\\x.exe")),  # a single text is a list of one
            ps(2)(put("cmdu", None)),                  # null is an empty list
            ps(2)(put("cmdu", [rule(utr="hkey_current_user\\software", utk="Harbor")])),
            ps(1)(put("r", ["Software\\Lumen", "HKLM\\SOFTWARE\\Lumen", ""])),  # a last empty entry hides nothing
            ps(0)(lambda p: p.update(disk=-1, x=1)),   # the preset overrides the size
            lambda d: d.__setitem__("o", {"b": d["o"][0], "a": d["o"][1]}),
            lambda d: d.__setitem__("o", []),
            lambda d: [d.pop("o"), d.pop("f")],        # no offers: the maximum is not read
            lambda d: d["f"].__setitem__("m", True),
        ]
        for number, change in enumerate(cases):
            with self.subTest(case=number):
                self.assertEqual([], lines(changed(change)))

    def test_offers_not_every_run_reaches_end_only_those_runs(self):
        def after_exclusive(d):
            d["o"][0]["ps"]["exc"] = True
            d["o"][1]["ps"].pop("dn")
        self.assertEqual(["$.o[1].ps.dn: missing (required string) [ends the load when reached]"],
                         lines(changed(after_exclusive)))

        def after_exclusive_by_key_order(d):
            # An object's offers come in the order of their keys: "a" before "b".
            broken, exclusive = d["o"][1], d["o"][0]
            broken["ps"].pop("dn")
            exclusive["ps"]["exc"] = True
            d["o"] = {"b": broken, "a": exclusive}
        self.assertEqual(["$.o.b.ps.dn: missing (required string) [ends the load when reached]"],
                         lines(changed(after_exclusive_by_key_order)))

        def beyond_maximum(d):
            d["f"]["m"] = 1
            d["o"][2]["ps"].pop("dn")
        self.assertEqual(["$.o[2].ps.dn: missing (required string) [ends the load when reached]"],
                         lines(changed(beyond_maximum)))

        def maximum_zero(d):
            d["f"]["m"] = 0
            d["o"][1]["ps"].pop("dn")  # never built
        self.assertEqual(["$.f.m: 0 accepts no offer; only the first offer is read [offer left out]"],
                         lines(changed(maximum_zero)))

    def test_offers_after_the_256th_are_never_read(self):
        def many(d):
            offer = d["o"][0]
            d["f"]["m"] = 1000
            d["o"] = [offer] * 256 + [{"ad": {}}]
        self.assertEqual(["$.o[256]: the offers from here on are never read (the first 256 are) [offer left out]"],
                         lines(changed(many)))

    def test_the_offers_switch_and_the_installer_type(self):
        def switched_off(d):
            d["i"]["ch"] = "00xA"
            d["o"][0]["ps"].pop("u")
            d.pop("f")
        document = changed(switched_off)
        self.assertEqual([], lines(document))
        # The installer type reads no main product, so the switch does not exist for it.
        self.assertEqual(["$.f: missing (required object) [ends the load]",
                          "$.o[0].ps.u: missing (required string) [ends the load]"], lines(document, "ISV"))
        self.assertEqual([], lines(changed(lambda d: d.pop("i")), "ISV"))
        self.assertEqual(["$: expected an object, found an array [ends the load]"], lines([]))
        self.assertEqual([], lines([], "ISV"))

    def test_what_keeps_the_document_from_reaching_the_program(self):
        deep = []
        node = deep
        for _ in range(63):  # with "$" and "$.zz": 65 levels
            node.append([])
            node = node[0]
        cases = [
            (ps(0)(put("ram", float("nan"))), ["$.o[0].ps.ram: NaN is not JSON [ends the load]"]),
            (ps(0)(put("dn", "Quill \ud83d")),
             ["$.o[0].ps.dn: text holds a lone surrogate, which cannot be sent as UTF-8 [ends the load]"]),
            (put("zz", deep), ["$.zz" + "[0]" * 63 + ": nested more than 64 deep [ends the load]"]),
            (put("zz", "x" * (8 * 1024 * 1024)), None),
        ]
        for change, expected in cases:
            found = lines(changed(change))
            with self.subTest(expected=expected):
                if expected is None:
                    self.assertEqual(1, len(found))
                    self.assertRegex(found[0], r"^\$: served as \d+ bytes; the program takes at most 8388608 \[ends the load\]$")
                else:
                    self.assertEqual(expected, found)


class CatalogFileTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="catalog-check-test-")

    def tearDown(self):
        for name in os.listdir(self.folder):
            os.remove(os.path.join(self.folder, name))
        os.rmdir(self.folder)

    def write(self, data):
        path = os.path.join(self.folder, "catalog.json")
        with open(path, "wb") as f:
            f.write(data if isinstance(data, bytes) else json.dumps(data, indent=1).encode("utf-8"))
        return path

    def run_check(self, *arguments):
        result = subprocess.run([sys.executable, os.path.join(HERE, "catalog_check.py")] + list(arguments),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=30)
        return result.returncode, result.stdout.splitlines()

    def test_text_that_is_not_json_is_reported_at_its_line_and_column(self):
        cases = [
            (b'{\n  "l": "DE",\n}', "line 3, column 1: invalid JSON (Expecting property name enclosed in double quotes)"),
            (b'{"o": [1, 2}', "line 1, column 12: invalid JSON (Expecting ',' delimiter)"),
            (b"", "line 1, column 1: invalid JSON (Expecting value)"),
            (b'\xef\xbb\xbf{}', "line 1, column 1: invalid JSON (Unexpected UTF-8 BOM (decode using utf-8-sig))"),
            (b'{\n"l": "D\xe9"}', "line 2, column 8: not UTF-8 (byte 0xe9)"),
        ]
        for data, expected in cases:
            with self.subTest(expected=expected):
                document, problems = catalog_check.load_catalog(self.write(data))
                self.assertIsNone(document)
                self.assertEqual([expected + " [ends the load]"], [str(p) for p in problems])

    def test_command_line(self):
        self.assertEqual((0, ['%s: no problems (download type): main product "Orvane Demo", 3 offers, '
                              "at most 2 accepted" % SAMPLE_PATH]), self.run_check(SAMPLE_PATH))

        path = self.write(changed(lambda d: d["o"][2]["ps"].pop("u") and d["o"][1]["ps"].update(ov=64)))
        self.assertEqual((1, ["$.o[1].ps.ov: 64 is not a Windows version the check knows (61, 62, 63, 100) "
                              "[offer left out]",
                              "$.o[2].ps.u: missing (required string) [ends the load]",
                              "%s: 2 problems (download type), 1 ends the load" % path]), self.run_check(path))

        path = self.write(changed(lambda d: d["o"][1]["ps"].update(ov=64)))
        self.assertEqual(0, self.run_check(path)[0])
        self.assertEqual(1, self.run_check(self.write(b"{"))[0])
        self.assertEqual(2, self.run_check(os.path.join(self.folder, "missing.json"))[0])


if __name__ == "__main__":
    unittest.main(verbosity=2)
