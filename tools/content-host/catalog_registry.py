"""How the wizard's offer checks read the registry paths of a catalog.

A model of the program's own path rules (offers/RegistryPaths.cpp, RegistryAccess.cpp,
OfferCheckerRegistry.cpp), reduced to what a catalog alone decides: which machine key a
configured path stands for, and which paths the program cannot look up at all (those
throw out of the check and end the configuration load).
"""

LONG_ROOTS = ("hkey_local_machine", "hkey_current_user", "hkey_classes_root", "hkey_users",
              "hkey_current_config")
# Tried in key order, as the program's ordered map does.
SHORT_ROOTS = {"hkcc": "hkey_current_config", "hkcr": "hkey_classes_root", "hkcu": "hkey_current_user",
               "hklm": "hkey_local_machine", "hku": "hkey_users"}
DEFAULT_PREFIXES = ("hkey_local_machine\\software\\", "hkey_current_user\\software\\")
WOW64_PREFIXES = ("hkey_local_machine\\software\\wow6432node\\", "hkey_current_user\\software\\wow6432node\\")


def expand(path):
    """The full paths a configured (lower-case) path stands for; none for an empty one."""
    if not path:
        return []
    if path.startswith("hk"):
        if path[2:4] == "ey":
            for name in LONG_ROOTS:
                if path.startswith(name + "\\"):
                    return [path]
        for short in sorted(SHORT_ROOTS):
            if path.startswith(short + "\\"):
                return [SHORT_ROOTS[short] + path[len(short):]]
    # Anything else is a key below Software, in both views.
    return [prefix + path for prefix in DEFAULT_PREFIXES + WOW64_PREFIXES]


def split_text(text):
    """Pieces between backslashes; the text after the last one counts only when not empty."""
    pieces = text.split("\\")
    if pieces and pieces[-1] == "":
        pieces.pop()
    return pieces


def key_lookup_fails(path):
    """True when looking up this full key path throws instead of answering.

    A path below a Software key needs a third piece to choose its registry view; any
    other path is opened below its root, which must be one of the long names.
    """
    if any(path.startswith(prefix) for prefix in DEFAULT_PREFIXES):
        return len(split_text(path)) < 3
    return path.split("\\", 1)[0] not in LONG_ROOTS


def before_last_backslash(path):
    at = path.rfind("\\")
    return path if at < 0 else path[:at]


def root_problem(entry):
    """What is wrong with the root a configured path names, or None.

    The program lower-cases the path; a root it does not know makes the whole path a
    key below Software, which is never what the catalog meant.
    """
    lower = entry.lower()
    first, backslash, _ = lower.partition("\\")
    written = entry[:len(first)]
    if first in LONG_ROOTS or first in SHORT_ROOTS:
        return None if backslash else 'registry root "%s" without a key' % written
    if first.startswith("hk"):
        return 'unknown registry root "%s"' % written
    return None


def unreadable_key(entry, kind):
    """The first full key path the program cannot look up for this entry, or None.

    kind says what the entry names: "key" (the path is the key), "value" (key, value
    name) or "data" (key, value name, data text).
    """
    for candidate in expand(entry.lower()):
        key = candidate
        if kind in ("value", "data"):
            key = before_last_backslash(key)
        if kind == "data":
            key = before_last_backslash(key)
        if key_lookup_fails(key):
            return key
    return None


def uninstall_candidates(root, key):
    """The full paths an uninstall rule reads its time from, in the program's order."""
    root, key = root.lower(), key.lower()
    candidates = [root + "\\" + key]
    if key.startswith("software"):
        candidates.append(root + "\\software\\wow6432node" + key[len("software"):])
    return candidates
