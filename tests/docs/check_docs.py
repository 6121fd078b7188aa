#!/usr/bin/env python3
"""Review of README.md, CHANGELOG.md and docs/*.md against the code and the package.

    python3 tests/docs/check_docs.py [SOURCE-ROOT]

Every line that the docs quote from the hook log, the dialog (its log, captions and
boxes) or the installation check must be made of the strings in the code, in whole
pieces, with only values between them; and every Windows Installer property that the
docs name must be the package's. Prints one line per finding and exits 1 when there is
any, 0 when there is none.

What counts as a quoted line:
- in a code block, a hook log line ("hh:nn:ss  [JobId]<tab>message"), a dialog log line
  ("hh:nn:ss  message"), a check line ("OK    ...", "FAIL  ...", "RESULT: ..."), or a line
  that begins like a hook or dialog text (the HEADS below);
- in the text, a `code span` that begins so, or sits in a table column headed "FAIL
  line(s)"; a "double-quoted text" that begins like a dialog text.
Between the code's pieces a quoted line may hold values: a <placeholder> (and what is
glued to it), "...", numbers, paths, registry keys, SIDs, the account before a SID, the
words of a system error, and the example names of EXAMPLES. A piece of the code may be
cut short only where "..." follows, or at the end of a quote in the text.
"""
import pathlib
import re
import sys

# How the docs' quotes begin: a quote that begins so is checked. Each must still begin a
# string of the code, so that a text changed there cannot leave its old quotes unchecked.
HOOK_HEADS = ["Server IP is empty", "Handle_Print_Job, DeviceName = ", "Starting the Tallyhorn monitor",
              "Monitor created OK", "Rslt file ", "Monitor Handle closed OK", "Warning: Monitor Handle close error",
              "Result = ", "Error creating Monitor", "Error in Handle_Print_Job"]
DIALOG_HEADS = ["ActionType=", "QuotaType=", "OKBtn Click", "CancelBtn Click", "ClientSocketError",
                "Timeout while communicating", "Error occured while communicating", "Quit without entering",
                "Print the job in spite", "The Print job will be canceled", "Job has been canceled",
                "No address specified", "Can't create new socket", "Unable to write to", "Click OK within",
                "Waiting for the Administrator", "Tallyhorn: enter comment", "Message from Tallyhorn server",
                "Tallyhorn: Quota alert", "The following document will not be printed", "or click Cancel to cancel"]
CHECK_HEADS = ["OK    ", "FAIL  ", "RESULT: "]

# Names that the docs use as example values in quoted lines.
EXAMPLES = ["Office Laser", "Quarterly report.docx", "Test page"]

# Where each kind of quote comes from (globs under the source root). The installation's
# facts table, where there is one, counts for all three.
POOLS = {
    "hook log": ["hook/*.cpp", "hook/*.h", "contract/*.h"],
    "dialog": ["client/*.h", "client/*.cpp", "contract/*.h"],
    "check": ["tools/harness/*.cpp", "tools/harness/*.h", "hook/*.h", "hook/windows/*.h", "contract/*.h",
              "common/*.h", "common/windows/*.cpp", "common/windows/*.h", "client/dialog_texts.h"],
}
FACTS_TABLES = ["contract/installation_facts.txt"]

# The package's sources, and the properties of Windows Installer itself that the docs name.
PACKAGE = ["packaging/*.wxs", "packaging/*.idt", "packaging/*.idt.in", "scripts/package.sh"]
INSTALLER_PROPERTIES = {"REINSTALL", "REINSTALLMODE", "REBOOT", "REMOVE", "ALLUSERS", "TRANSFORMS", "ADDLOCAL",
                        "ARPINSTALLLOCATION", "ARPNOMODIFY", "ARPPRODUCTICON", "TARGETDIR", "INSTALLLEVEL",
                        "MSIRESTARTMANAGERCONTROL", "MSIUSEREALADMINDETECTION"}
# Upper-case names in the docs that are no property: job file values, check words, the
# signing script's environment, Win32 and SDDL names.
NOT_PROPERTIES = {"ADMIN", "USER", "WAIT", "QUOTA", "COMMENT", "REJECT", "PASS", "FAIL", "RESULT", "GOOGLETEST_SOURCE",
                  "FILE_FLAG_OPEN_REPARSE_POINT", "WM_DPICHANGED", "OICI"}
ENVIRONMENT = ("TALLYHORN_", "WINE")  # the build's and Wine's environment variables
# Mixed-case properties of the package that the docs name.
PACKAGE_MIXED = ["SettingsRefusal", "SecureHistory"]


def read(path):
    return path.read_text(encoding="utf-8", errors="replace")


def files(root, globs):
    return sorted({p for g in globs for p in root.glob(g) if p.is_file()})


LITERAL = re.compile(r'(?:u8|[uUL])?"((?:[^"\\\n]|\\.)*)"')
ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def unescape(text):
    return re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)), text)


def literals(path):
    """The string literals of a C++ file, adjacent ones joined, cut at printf formats."""
    text = re.sub(r"^\s*#\s*include.*$", "", read(path), flags=re.M)
    text = re.sub(r"//[^\n\"]*$", "", text, flags=re.M)
    found, last_end, joined = [], None, None
    for m in LITERAL.finditer(text):
        value = unescape(m.group(1))
        if joined is not None and text[last_end:m.start()].strip() == "":
            joined += value
        else:
            if joined is not None:
                found.append(joined)
            joined = value
        last_end = m.end()
    if joined is not None:
        found.append(joined)
    pieces = []
    for value in found:
        for piece in re.split(r"%[-+ #0]*\d*(?:\.\d+)?[lhz]*[diuxXsc]", value):
            piece = piece.strip("\n")
            # The code may cut a separator off the front of a piece (a mend that comes first).
            pieces += [piece, re.sub(r"^[;,:]? ", "", piece)]
    return pieces


def facts(root):
    """The installation's facts table, where there is one: each name and its value, a word
    that names an earlier fact (also each half of a "name:name" pair) standing for it."""
    table = {}
    for name in FACTS_TABLES:
        path = root / name
        if not path.is_file():
            continue
        for line in read(path).splitlines():
            m = re.match(r"^([A-Za-z]\w*)\s+(.+?)\s*$", line)
            if m:
                table[m.group(1)] = re.sub(r"[A-Za-z]\w*", lambda w: table.get(w.group(0), w.group(0)), m.group(2))
    return table


class Pool:
    def __init__(self, pieces):
        self.pieces = sorted({p for p in pieces if p}, key=len, reverse=True)
        self.by_first = {}
        for p in self.pieces:
            self.by_first.setdefault(p[0], []).append(p)

    def begins(self, head):
        return any(p.startswith(head) for p in self.pieces)


# Values between the code's pieces, and whether a piece of the code may be glued to the
# value's end ("<folder>Tallyhorn_Mon.exe", "C:\\PF\\Tallyhorn\\Tallyhorn.dll: x86").
VALUES = [
    (re.compile(r"<[^<>\n]+>[^\s\"'`]*"), True),
    (re.compile(r"\.\.\.|…"), False),
    (re.compile(r"0x[0-9A-Fa-f]+|-?\d+(?:[.:]\d+)*"), False),
    (re.compile(r"(?:[A-Za-z]:\\|\\\\|%\w+%\\?|HKLM\\|HKEY_[A-Z_]+\\)[^\s\"<>|`]*"), True),
    (re.compile(r"S-1-[0-9-]*\d"), False),
    (re.compile(r"(?:[\w.-]+\\)?[\w.-]+(?: [A-Z][\w.-]*){0,2}(?= \(S-1-)"), False),  # the account before its SID
    (re.compile(r"(?<==)[^)\s]+(?=\))"), False),  # a setting's value as read: "(WriteToLog=false)"
    (re.compile(r"(?<![\w<])[A-Z](?![\w>])"), False),  # a number's placeholder: "N objects", "error N"
]
SYSTEM_ERROR = re.compile(r"error -?\d+: $")
SPACED_FOLDERS = [("Program Files (x86)", "PF(x86)"), ("Program Files", "PF")]


def value_ends(text, i):
    ends = set()
    for pattern, glued in VALUES:
        m = pattern.match(text, i)
        if m and m.end() > i:
            ends.update(range(i + 1, m.end() + 1) if glued else [m.end()])
    if SYSTEM_ERROR.search(text[:i]):
        m = re.compile(r"[^)]+(?=\))").match(text, i)
        if m:
            ends.add(m.end())
    for example in EXAMPLES:
        if text.startswith(example, i):
            ends.add(i + len(example))
    return ends


def elided_at(text, i):
    return text.startswith("...", i) or text.startswith(" ...", i) or text.startswith("…", i)


def tiles(text, pool, open_end):
    """How far the text can be made of the pool's pieces and values; and whether whole."""
    for spaced, short in SPACED_FOLDERS:
        text = re.sub(r"(?<=\\)" + re.escape(spaced), short, text)
    n = len(text)
    reach = [False] * (n + 1)
    pieces_used = [False] * (n + 1)
    reach[0] = True
    furthest = 0
    for i in range(n + 1):
        if not reach[i]:
            continue
        furthest = i
        if i == n:
            break
        for piece in pool.by_first.get(text[i], []):
            if text.startswith(piece, i):
                reach[i + len(piece)] = True
                pieces_used[i + len(piece)] = True
                continue
            common = 0
            limit = min(len(piece), n - i)
            while common < limit and piece[common] == text[i + common]:
                common += 1
            if common and (elided_at(text, i + common) or (open_end and i + common == n)):
                reach[i + common] = True
                pieces_used[i + common] = True
        for end in value_ends(text, i):
            reach[end] = True
    return reach[n] and any(pieces_used), furthest, text


class Review:
    def __init__(self, root):
        self.root = root
        self.findings = []
        extra = list(facts(root).values())
        self.pools = {kind: Pool([p for f in files(root, globs) for p in literals(f)] + extra)
                      for kind, globs in POOLS.items()}
        for kind, heads in (("hook log", HOOK_HEADS), ("dialog", DIALOG_HEADS), ("check", CHECK_HEADS)):
            for head in heads:
                if not self.pools[kind].begins(head):
                    self.findings.append(f"tests/docs/check_docs.py: the docs quote {kind} lines that begin "
                                         f"\"{head}\", and no string of the code begins so any more")

    def quote(self, where, kind, text, open_end=False):
        text = text.rstrip()
        whole, furthest, shown = tiles(text, self.pools[kind], open_end)
        if not whole:
            self.findings.append(f"{where}: this {kind} text is not what the code writes; it holds from the start "
                                 f"only up to \"{shown[:furthest]}\" <- here: \"{text}\"")

    def code_line(self, where, line):
        stripped = line.strip()
        m = re.match(r"^\d\d:\d\d:\d\d  \[-?\d+\](?:\t|<tab>)(.*)$", stripped)
        if m:
            return self.quote(where, "hook log", m.group(1))
        m = re.match(r"^\d\d:\d\d:\d\d  (?!\[)(.*)$", stripped)
        if m:
            return self.quote(where, "dialog", m.group(1))
        if any(stripped.startswith(h.rstrip()) for h in CHECK_HEADS):
            return self.quote(where, "check", stripped)
        self.headed(where, stripped, open_end=False)

    def headed(self, where, text, open_end):
        for kind, heads in (("hook log", HOOK_HEADS), ("dialog", DIALOG_HEADS), ("check", CHECK_HEADS)):
            if any(text.startswith(h) for h in heads):
                return self.quote(where, kind, text, open_end)

    def document(self, path):
        name = path.relative_to(self.root)
        fenced = in_block = False
        header = None
        previous_blank = True
        paragraph = []  # (line number, text) of the prose being read: a quote may wrap
        for number, line in enumerate(read(path).splitlines() + [""], 1):
            where = f"{name}:{number}"
            stripped = line.strip()
            indented = line.startswith("    ") and stripped != ""
            in_block = not fenced and indented and (in_block or previous_blank)
            prose = not (fenced or in_block or stripped.startswith(("|", "```", "#")) or stripped == "")
            if paragraph and (not prose or re.match(r"^\s*(?:[-*]|\d+\.)\s", line)):
                self.prose(f"{name}:{paragraph[0][0]}", " ".join(text for _, text in paragraph))
                paragraph = []
            previous_blank = stripped == ""
            if stripped.startswith("```"):
                fenced = not fenced
            elif fenced or in_block:
                self.code_line(where, line)
            elif stripped.startswith("|"):
                cells = table_cells(line)
                if header is None:
                    header = cells
                    continue
                for column, cell in enumerate(cells):
                    fail_column = column < len(header) and re.search(r"FAIL lines?", header[column])
                    self.prose(where, cell, fail_column)
            if not stripped.startswith("|"):
                header = None
            if prose:
                paragraph.append((number, stripped))

    def prose(self, where, text, fail_column=False):
        for span in re.findall(r"`([^`]+)`", text):
            if fail_column and not span.startswith(tuple(CHECK_HEADS)):
                self.quote(where, "check", span, open_end=True)
            else:
                self.headed(where, span, open_end=True)
        for said in re.findall(r'"([^"`]+)"', re.sub(r"`[^`]*`", "", text)):
            if any(said.startswith(h) for h in DIALOG_HEADS):
                self.quote(where, "dialog", said, open_end=True)


def table_cells(line):
    cells, current, in_code = [], "", False
    for ch in line.strip().strip("|"):
        if ch == "`":
            in_code = not in_code
        if ch == "|" and not in_code:
            cells.append(current)
            current = ""
        else:
            current += ch
    cells.append(current)
    return cells


# ---- the package's properties ----

def package_names(root):
    text = "\n".join(read(p) for p in files(root, PACKAGE))
    names = set(re.findall(r"\b[A-Z][A-Z0-9_]{2,}\b", text))
    names.update(re.findall(r'(?:Property|Id)="([A-Za-z_][\w.]*)"', text))
    names.update(re.findall(r"\[([A-Za-z_][\w.]*)\]", text))
    return names, text


def idt_rows(root, table):
    """A package table's rows, the facts filled in where the table is made from them."""
    known = facts(root)
    for path in files(root, [f"packaging/{table}.idt", f"packaging/{table}.idt.in"]):
        text = re.sub(r"@FACT_(\w+)@", lambda m: known.get(m.group(1), m.group(0)), read(path))
        rows = [line.split("\t") for line in text.replace("\r", "").splitlines()]
        columns = rows[0]
        for row in rows[3:]:
            yield dict(zip(columns, row + [""] * (len(columns) - len(row))))


def docs_paths(root):
    return [p for p in [root / "README.md", root / "CHANGELOG.md"] + sorted((root / "docs").glob("*.md"))
            if p.is_file()]


def review_properties(root, review):
    names, package = package_names(root)
    searched = [row["Property"] for row in idt_rows(root, "AppSearch")]
    for path in docs_paths(root):
        name = path.relative_to(root)
        text = read(path)
        for number, line in enumerate(text.splitlines(), 1):
            named = set(re.findall(r"`([A-Z][A-Z0-9_]{3,})(?:=[^`]*)?`", line))
            if re.match(r"^\s*msiexec\b", line):
                named.update(re.findall(r"\b([A-Z][A-Z0-9_]{3,})=", line))
            named.update(p for p in PACKAGE_MIXED if f"`{p}`" in line)
            for prop in sorted(named - NOT_PROPERTIES - INSTALLER_PROPERTIES):
                if prop not in names and not prop.startswith(ENVIRONMENT):
                    review.findings.append(f"{name}:{number}: `{prop}` is no property of the package")
        # A paragraph or list item that names the upgrade searches' results names them all.
        for block in re.split(r"\n\s*\n|\n(?=\s*(?:[-*]|\d+\.)\s)", text):
            shown = {p for p in searched if f"`{p}`" in block}
            if shown and shown != set(searched):
                line = text[:text.index(block)].count("\n") + 1
                missing = ", ".join(sorted(set(searched) - shown))
                review.findings.append(f"{name}:{line}: names some of the package's searches ({', '.join(sorted(shown))}) "
                                       f"but not {missing}")
    properties_table(root, review, package)


def properties_table(root, review, package):
    """docs/deploy.md's table of properties: every setting the package writes has its row,
    naming the key or value that the package writes it to, and the default it sets."""
    path = root / "docs" / "deploy.md"
    rows = {}
    in_section = False
    for number, line in enumerate(read(path).splitlines(), 1):
        if line.startswith("## "):
            in_section = line.strip() == "## Properties"
        m = re.match(r"^\|\s*`([A-Z][A-Z0-9_]+)`\s*\|(.*)\|\s*$", line) if in_section else None
        if m and m.group(1) not in rows:
            rows[m.group(1)] = (number, table_cells(line))
    writes = {}
    for table, key_column in (("IniFile", "Key"), ("Registry", "Name")):
        for row in idt_rows(root, table):
            for prop in re.findall(r"\[([A-Z][A-Z0-9_]+)\]", row.get("Value", "")):
                writes.setdefault(prop, []).append(row[key_column])
    for prop, keys in sorted(writes.items()):
        if prop not in rows:
            review.findings.append(f"docs/deploy.md: the package writes {prop} ({', '.join(keys)}), and the "
                                   f"Properties table has no row for it")
            continue
        number, cells = rows[prop]
        for key in keys:
            if f"`{key}`" not in "|".join(cells):
                review.findings.append(f"docs/deploy.md:{number}: the package writes {prop} to `{key}`, which its "
                                       f"row does not name")
    for m in re.finditer(r'<CustomAction Id="Default\w+" Property="([A-Z_]+)" Value="([^"]*)"', package):
        prop, value = m.groups()
        if prop in rows:
            number, cells = rows[prop]
            if not cells[1].strip().startswith(f"`{value}`"):
                review.findings.append(f"docs/deploy.md:{number}: {prop} defaults to `{value}` in the package")


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parents[2])
    review = Review(root)
    for path in docs_paths(root):
        review.document(path)
    review_properties(root, review)
    for finding in review.findings:
        print(finding)
    print(f"docs review: {len(docs_paths(root))} pages, {len(review.findings)} findings")
    return 1 if review.findings else 0


if __name__ == "__main__":
    sys.exit(main())
