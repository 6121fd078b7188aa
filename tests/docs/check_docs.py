#!/usr/bin/env python3
"""Review of README.md, CHANGELOG.md and docs/*.md against the code and the package.

    python3 tests/docs/check_docs.py [SOURCE-ROOT]

The docs' quotes of the hook log, the dialog and the installation check must be made of
the code's strings and the installation's facts, in whole pieces with values between them;
a piece may be cut short only before "..." or at the end of a quote in the text. Every
property named must be the package's, and the Properties table must say what it writes;
every GUID and packed code named must be one of the packages' upgrade codes.
Prints one line per finding; exits 1 when there is any.
"""
import difflib
import os
import pathlib
import re
import sys

# How the docs' quotes begin: a code block line, `code span` or "double-quoted" dialog text that begins
# so (or nearly so: a letter or two changed) is checked. Each must still begin a string of the code, so
# that a text changed there cannot leave its old quotes unchecked.
HEADS = {
    "hook log": ["Server IP is empty", "Handle_Print_Job, DeviceName = ", "Starting the Tallyhorn monitor",
                 "Monitor created OK", "Rslt file ", "Monitor Handle closed OK", "Warning: Monitor Handle close error",
                 "Result = ", "Error creating Monitor", "Error in Handle_Print_Job"],
    "dialog": ["ActionType=", "QuotaType=", "OKBtn Click", "CancelBtn Click", "ClientSocketError",
               "Timeout while communicating", "Error occured while communicating", "Quit without entering",
               "Print the job in spite", "The Print job will be canceled", "Job has been canceled",
               "No address specified", "Can't create new socket", "Unable to write to", "Click OK within",
               "Waiting for the Administrator", "Tallyhorn: enter comment", "Message from Tallyhorn server",
               "Tallyhorn: Quota alert", "The following document will not be printed", "or click Cancel to cancel"],
    "check": ["OK    ", "FAIL  ", "RESULT: "],
}
# In a code block, a line that begins with a check word is a check line.
CODE_HEADS = {"check": ["OK", "FAIL", "RESULT:"], "hook log": HEADS["hook log"], "dialog": HEADS["dialog"]}
LOG_LINE = re.compile(r"\d\d:\d\d:\d\d  (?:(\[-?\d+\](?:\t|<tab>))|(?!\[))(.*)")  # hook log if [JobId], else dialog

# Where each kind of quote comes from (globs under the source root), besides the facts.
POOLS = {
    "hook log": ["hook/*.cpp", "hook/*.h", "contract/*.h"],
    "dialog": ["client/*.h", "client/*.cpp", "contract/*.h"],
    "check": ["tools/harness/*.cpp", "tools/harness/*.h", "hook/*.h", "hook/windows/*.h", "contract/*.h",
              "common/*.h", "common/windows/*.cpp", "common/windows/*.h", "client/dialog_texts.h"],
}
FACTS = "contract/installation_facts.txt"
PACKAGE = ["packaging/*.wxs", "packaging/*.idt*", "scripts/package.sh"]
# Upper-case names in the docs that are no property of the package: Windows Installer's own,
# job file values, check words, the signing script's environment, Win32 and SDDL names.
NOT_OURS = {"REINSTALL", "REINSTALLMODE", "REBOOT", "REMOVE", "ALLUSERS", "TRANSFORMS", "ADDLOCAL", "TARGETDIR",
            "ARPINSTALLLOCATION", "ARPNOMODIFY", "ARPPRODUCTICON", "INSTALLLEVEL", "MSIRESTARTMANAGERCONTROL",
            "MSIUSEREALADMINDETECTION", "ADMIN", "USER", "WAIT", "QUOTA", "COMMENT", "REJECT", "PASS", "FAIL", "RESULT",
            "GOOGLETEST_SOURCE", "FILE_FLAG_OPEN_REPARSE_POINT", "WM_DPICHANGED", "OICI"}
ENVIRONMENT = ("TALLYHORN_", "WINE")  # the build's and Wine's environment variables
PACKAGE_MIXED = ["SettingsRefusal", "SecureHistory"]  # mixed-case properties of the package
LIST_ITEM = r"\s*(?:[-*]|\d+\.)\s"
GUID = r"[0-9A-Fa-f]{8}(?:-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}"

# Values between the code's pieces, and whether a piece of the code may be glued to the
# value's end ("<folder>Tallyhorn_Mon.exe", "C:\\PF\\Tallyhorn\\Tallyhorn.dll: x86").
VALUES = [(re.compile(pattern), glued) for pattern, glued in [
    (r"<[^<>\n]+>[^\s\"'`]*", True),
    (r"\.\.\.|…", False),
    (r"0x[0-9A-Fa-f]+|-?\d+(?:[.:]\d+)*", False),
    (r"(?:[A-Za-z]:\\|\\\\|%\w+%\\?|HKLM\\|HKEY_[A-Z_]+\\)[^\s\"<>|`]*", True),
    (r"S-1-[0-9-]*\d", False),
    (r"(?:[\w.-]+\\)?[\w.-]+(?: [A-Z][\w.-]*){0,2}(?= \(S-1-)", False),  # the account before its SID
    (r"(?<==)[^)\s]+(?=\))", False),  # a setting's value as read: "(WriteToLog=false)"
    (r"(?<![\w<])[A-Z](?![\w>])", False),  # a number's placeholder: "N objects", "error N"
    (r"Office Laser|Quarterly report\.docx|Test page", False),  # the docs' example names
]]
SYSTEM_ERROR = re.compile(r"error -?\d+: $")  # after it, the words of a system error up to ")"
ERROR_WORDS = [(re.compile(r"[^)]+(?=\))"), False)]
LITERAL = r'(?:u8|[uUL])?"((?:[^"\\\n]|\\.)*)"'  # a C++ string literal


def read(path):
    return path.read_text(encoding="utf-8", errors="replace")


def files(root, globs):
    return sorted({p for g in globs for p in root.glob(g) if p.is_file()})


def literals(path):
    """The string literals of a C++ file, adjacent ones joined, cut at printf formats; each
    piece also without a separator at its front (a mend that comes first)."""
    text = re.sub(r'^\s*#\s*include.*$|//[^\n"]*$', "", read(path), flags=re.M)
    for run in re.finditer(LITERAL + r"(?:\s*" + LITERAL + ")*", text):
        value = "".join(re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "r": "\r", "0": "\0"}.get(m[1], m[1]), s)
                        for s in re.findall(LITERAL, run.group(0)))
        for piece in (p.strip("\n") for p in re.split(r"%[-+ #0]*\d*(?:\.\d+)?[lhz]*[diuxXsc]", value)):
            yield from (piece, re.sub(r"^[;,:]? ", "", piece))


def facts(root):
    """The installation's facts: each name and its value, a word naming an earlier fact standing for it."""
    table = {}
    for m in filter(None, (re.match(r"([A-Za-z]\w*)\s+(.+?)\s*$", line) for line in read(root / FACTS).splitlines())):
        table[m.group(1)] = re.sub(r"[A-Za-z]\w*", lambda w: table.get(w.group(0), w.group(0)), m.group(2))
    return table


def tiles(text, pool, open_end):
    """Whether the text is made of the pool's pieces and values, and the part that is."""
    text = re.sub(r"(?<=\\)Program Files(?: (\(x86\)))?", r"PF\1", text)  # a path's value ends at a blank
    n = len(text)
    reach, used = [True] + [False] * n, False
    for i in range(n):
        if reach[i]:
            for piece in pool.get(text[i], []):
                end = i + len(os.path.commonprefix([piece, text[i:]]))
                if end == i + len(piece) or text.startswith(("...", " ...", "…"), end) or open_end and end == n:
                    reach[end] = used = True
            for pattern, glued in VALUES + (ERROR_WORDS if SYSTEM_ERROR.search(text[:i]) else []):
                m = pattern.match(text, i)
                if m and m.end() > i:
                    for end in range(i + 1, m.end() + 1) if glued else [m.end()]:
                        reach[end] = True
    return reach[n] and used, text[:max(i for i in range(n + 1) if reach[i])]


def begins_like(text, head):
    """Whether the text begins with the head or, for a long head, with the head a letter or two changed."""
    return text.startswith(head) or (len(head) >= 15 and text[:4] == head[:4]
                                     and difflib.SequenceMatcher(None, text[:len(head)], head).ratio() >= .9)


def table_cells(line):
    cells, ticks = [""], 0
    for ch in line.strip().strip("|"):
        ticks += ch == "`"
        if ch == "|" and ticks % 2 == 0:
            cells.append("")
        else:
            cells[-1] += ch
    return cells


class Review:
    def __init__(self, root):
        self.root, self.findings, self.facts, self.pools = root, [], facts(root), {}
        for kind, globs in POOLS.items():
            pool = self.pools[kind] = {}
            for piece in ({p for f in files(root, globs) for p in literals(f)} | set(self.facts.values())) - {""}:
                pool.setdefault(piece[0], []).append(piece)
            for head in HEADS[kind]:
                if not any(p.startswith(head) for p in pool.get(head[0], [])):
                    self.findings.append(f"tests/docs/check_docs.py: the docs quote {kind} lines that begin "
                                         f"\"{head}\", and no string of the code begins so any more")

    def quote(self, where, text, heads=HEADS, open_end=False, kind=None):
        """Checks the text as the kind of quote whose head it begins like, or as the kind given."""
        kind = kind or next((k for k, h in heads.items() if any(begins_like(text, head) for head in h)), None)
        if not kind:
            return
        text = text.rstrip()
        whole, held = tiles(text, self.pools[kind], open_end)
        if not whole:
            self.findings.append(f"{where}: this {kind} text is not what the code writes; it holds from the start "
                                 f"only up to \"{held}\" <- here: \"{text}\"")

    def prose(self, where, text, fail_column=False):
        for span in re.findall(r"`([^`]+)`", text):
            self.quote(where, span, open_end=True, kind="check" if fail_column else None)
        for said in re.findall(r'"([^"`]+)"', re.sub(r"`[^`]*`", "", text)):
            self.quote(where, said, {"dialog": HEADS["dialog"]}, open_end=True)

    def document(self, path):
        name, fenced, block = path.relative_to(self.root), False, False
        previous, fail_columns, paragraph = "", None, []  # paragraph: (line number, text), since a quote may wrap
        for number, line in enumerate(read(path).splitlines() + [""], 1):
            where, stripped = f"{name}:{number}", line.strip()
            block = not fenced and line.startswith("    ") and stripped != "" and (block or previous == "")
            prose = not (fenced or block or stripped == "" or stripped.startswith(("|", "```", "#")))
            if paragraph and (not prose or re.match(LIST_ITEM, line)):
                self.prose(f"{name}:{paragraph[0][0]}", " ".join(text for _, text in paragraph))
                paragraph = []
            previous, fail_columns = stripped, fail_columns if stripped.startswith("|") else None
            if stripped.startswith("```"):
                fenced = not fenced
            elif fenced or block:
                m = LOG_LINE.fullmatch(stripped)
                self.quote(where, m.group(2) if m else stripped, CODE_HEADS,
                           kind=m and ("hook log" if m.group(1) else "dialog"))
            elif stripped.startswith("|"):
                cells = table_cells(line)
                if fail_columns is None:  # the header row
                    fail_columns = {k for k, cell in enumerate(cells) if "FAIL line" in cell}
                else:
                    for k, cell in enumerate(cells):
                        self.prose(where, cell, k in fail_columns)
            if prose:
                paragraph.append((number, stripped))

    @property
    def upgrade_codes(self):
        """The upgrade codes, as written and in Windows Installer's packed form (each group of
        the first three reversed, each byte of the rest with its two digits swapped)."""
        codes = [v for k, v in self.facts.items() if k.startswith("UpgradeCode")]
        packed = ["".join(g[::-1] for g in c.split("-")[:3]) + re.sub(r"(.)(.)", r"\2\1", c[19:].replace("-", ""))
                  for c in codes]
        return codes + packed

    def idt_rows(self, table):
        """A package table's rows, the facts filled in where the table is made from them."""
        for path in files(self.root, [f"packaging/{table}.idt*"]):
            text = re.sub(r"@FACT_(\w+)@", lambda m: self.facts.get(m.group(1), m.group(0)), read(path))
            columns, *rows = [line.split("\t") for line in text.splitlines()]
            yield from (dict(zip(columns, row + [""] * len(columns))) for row in rows[2:])

    def package(self, pages):
        text = "\n".join(read(p) for p in files(self.root, PACKAGE))
        names = set(re.findall(r"\b[A-Z][A-Z0-9_]{2,}\b", text))
        names.update(re.findall(r'(?:Property|Id)="([A-Za-z_][\w.]*)"', text))
        names.update(re.findall(r"\[([A-Za-z_][\w.]*)\]", text))
        searched = {row["Property"] for row in self.idt_rows("AppSearch")}
        for path in pages:
            name, page = path.relative_to(self.root), read(path)
            for number, line in enumerate(page.splitlines(), 1):
                named = set(re.findall(r"`([A-Z][A-Z0-9_]{3,})(?:=[^`]*)?`", line))
                named |= {p for p in PACKAGE_MIXED if f"`{p}`" in line}
                if re.match(r"\s*msiexec\b", line):
                    named.update(re.findall(r"\b([A-Z][A-Z0-9_]{3,})=", line))
                for prop in sorted(p for p in named - names - NOT_OURS if not p.startswith(ENVIRONMENT)):
                    self.findings.append(f"{name}:{number}: `{prop}` is no property of the package")
                for code in re.findall(GUID, line) + re.findall(r"\b[0-9A-F]{32}\b", line):
                    if code not in self.upgrade_codes:
                        self.findings.append(f"{name}:{number}: {code} is no upgrade code of the packages")
            # A paragraph or list item that names the upgrade searches' results names them all.
            for block in re.split(r"\n\s*\n|\n(?=" + LIST_ITEM + ")", page):
                shown = {p for p in searched if f"`{p}`" in block}
                if shown and shown != searched:
                    self.findings.append(f"{name}:{page[:page.index(block)].count(chr(10)) + 1}: names some of the "
                                         f"package's searches ({', '.join(sorted(shown))}) but not "
                                         f"{', '.join(sorted(searched - shown))}")
        self.properties_table(text)

    def properties_table(self, package):
        """Each setting that the package writes has its row in docs/deploy.md, naming its key and default."""
        rows, section = {}, None
        for number, line in enumerate(read(self.root / "docs" / "deploy.md").splitlines(), 1):
            section = line.strip() if line.startswith("## ") else section
            m = re.match(r"\|\s*`([A-Z][A-Z0-9_]+)`\s*\|.*\|\s*$", line)
            if m and section == "## Properties":
                rows.setdefault(m.group(1), (number, line))
        writes = {}
        for table, key_column in (("IniFile", "Key"), ("Registry", "Name")):
            for row in self.idt_rows(table):
                for prop in re.findall(r"\[([A-Z][A-Z0-9_]+)\]", row.get("Value", "")):
                    writes.setdefault(prop, []).append(row[key_column])
        for prop, keys in sorted(writes.items()):
            if prop not in rows:
                self.findings.append(f"docs/deploy.md: the package writes {prop} ({', '.join(keys)}), and the "
                                     f"Properties table has no row for it")
                continue
            for key in keys:
                if f"`{key}`" not in rows[prop][1]:
                    self.findings.append(f"docs/deploy.md:{rows[prop][0]}: the package writes {prop} to `{key}`, "
                                         f"which its row does not name")
        for prop, value in re.findall(r'<CustomAction Id="Default\w+" Property="([A-Z_]+)" Value="([^"]*)"', package):
            if prop in rows and not table_cells(rows[prop][1])[1].strip().startswith(f"`{value}`"):
                self.findings.append(f"docs/deploy.md:{rows[prop][0]}: {prop} defaults to `{value}` in the package")


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])
    pages = [p for p in [root / "README.md", root / "CHANGELOG.md", *sorted(root.glob("docs/*.md"))] if p.is_file()]
    review = Review(root)
    for page in pages:
        review.document(page)
    review.package(pages)
    print("\n".join(review.findings + [f"docs review: {len(pages)} pages, {len(review.findings)} findings"]))
    return 1 if review.findings else 0


if __name__ == "__main__":
    sys.exit(main())
