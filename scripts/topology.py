#!/usr/bin/env python3
"""The "what runs where" picture of docs/deploy.md, drawn once and written twice: as
docs/topology.svg (kept in the tree) and, with --png FILE, as a PNG through ImageMagick's
own vector format (MVG), which needs no SVG renderer.

    python3 scripts/topology.py                         # writes docs/topology.svg
    python3 scripts/topology.py --png build/topology.png
"""
import argparse
import math
import pathlib
import subprocess
import tempfile
from xml.sax.saxutils import escape

# The names that the installation's facts give (contract/installation_facts.txt).
FACTS = dict(line.rstrip().split(None, 1) for line in
             open(pathlib.Path(__file__).resolve().parent.parent / "contract" / "installation_facts.txt")
             if line[:1].isalpha())
LOG, JOB, SETTINGS, EXPORT = (FACTS[name] for name in ("LogFolder", "JobFolder", "SettingsFile", "ExportName"))

WIDTH, HEIGHT = 980, 640
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
INK, GREY, RED, BLUE = "#222222", "#444444", "#b00000", "#2850a0"

shapes = []  # ("box"|"text"|"arrow", dict)


def box(x, y, w, h, fill="#ffffff", stroke="#333333", dashed=False, r=4, width=1.0):
    shapes.append(("box", dict(x=x, y=y, w=w, h=h, fill=fill, stroke=stroke, dashed=dashed, r=r, width=width)))


def text(x, y, lines, size=11, bold=False, color=INK, step=None):
    for i, line in enumerate([lines] if isinstance(lines, str) else lines):
        shapes.append(("text", dict(x=x, y=y + i * (step or size + 3), s=line, size=size, bold=bold, color=color)))


def arrow(points, color=INK, width=1.5, dashed=False, curve=False):
    """A line (or, with curve, one cubic Bezier of four points) ending in an arrowhead."""
    shapes.append(("arrow", dict(points=points, color=color, width=width, dashed=dashed, curve=curve)))


# ---- the picture ----
box(10, 10, 700, 450, "#f4f6fa", "#445566", r=8, width=1.5)
text(24, 32, "Computer with the print host (print server, workstation or terminal server)", 15, True)

box(24, 46, 360, 400, "#fff4e0", "#a86b00", r=6)
text(36, 66, "The print host's process", 13, True)
text(36, 82, "its account and session; a service: SYSTEM, session 0", color=GREY)
box(40, 96, 328, 40)
text(52, 114, "Print host (yours: whatever calls the export)", 13)
text(52, 129, "32-bit: x86 package; 64-bit: x64 package", 11, color=GREY)
arrow([(150, 136), (150, 168)])
text(158, 157, f"{EXPORT}, once per job; waits")
box(40, 170, 328, 56)
text(52, 191, "Tallyhorn.dll (the hook)", 13, True)
text(52, 208, [f"inside the print host; reads C:\\Windows\\{SETTINGS}",
               "answers print / do not print; at most 120 s"], step=13)
arrow([(150, 226), (150, 290)])
text(158, 238, ["starts, minimised, same account:", 'Tallyhorn_Mon.exe "<job file>"',
                '"<device>" "<document>"', "<JobId> <JobType>"], step=13.5)
box(40, 292, 328, 56)
text(52, 313, "Tallyhorn_Mon.exe (the job monitor)", 13, True)
text(52, 330, ["yours, not in the package; in PROGDIR", "decides about the job (docs/monitor.md)"], step=13)
arrow([(204, 348), (204, 362)])
box(40, 364, 328, 72, stroke="#777777", dashed=True)
text(52, 382, "PROGDIR (SYSTEM and Administrators)", 12, True)
text(52, 398, [f"{JOB}<job file>.rslt: monitor writes (temporary",
               "   name, then rename), hook reads and deletes",
               f"{LOG}Tallyhorn_Hk_DD_MM_YYYY.log: the hook log"], step=14)

box(404, 46, 292, 400, "#e8f4e8", "#2d7a2d", r=6)
text(416, 66, "The printing user's session", 13, True)
text(416, 82, ["as the user who printed: on this computer, or", "on the user's own when users print to a server"],
     color=GREY, step=13)
text(412, 124, ["the monitor writes the job file,", "then starts the dialog in this session",
                "with its path (e.g. CreateProcessAsUser)"], step=14)
arrow([(368, 310), (392, 310), (392, 206), (418, 206)], curve=True)
box(420, 170, 260, 72)
text(432, 191, "TallyhornClient.exe (the dialog)", 13, True)
text(432, 208, ["in CLIENTDIR; comment, reject or quota;", "reads and deletes its job file;",
                "quota: writes <job file>.response"], step=13)
arrow([(550, 242), (550, 290)])
box(420, 292, 260, 140, stroke="#777777", dashed=True)
text(432, 310, "Files of this user alone", 12, True)
text(432, 326, ["the dialog's job file and .response: a", "   per-job folder the monitor makes for",
                "   the user, or the user's temp folder", "%APPDATA%\\Tallyhorn\\Tallyhorn.Cmt:",
                "   the user's own past comments", "%LOCALAPPDATA%\\Tallyhorn\\Debug\\: the",
                "   user's log (while CLIENTDIR\\Debug\\ exists)"], step=14)

box(790, 150, 180, 110, "#e6eefc", BLUE, r=8, width=1.5)
text(800, 176, "Tallyhorn server", 15, True)
text(800, 196, ["listens on TCP 5052", "writes comments to its DB;", "decides quotas, rejections"], step=15)
arrow([(680, 206), (786, 206)], RED, 2.5)
text(686, 196, "TCP 5052", 12, True, RED)
text(686, 226, ["dialog → server", "plain text"], color=RED)
arrow([(368, 336), (395, 520), (880, 520), (880, 262)], BLUE, dashed=True, curve=True)
text(712, 310, ["the monitor's own", "way to the server", "(not part of Tallyhorn)"], color=BLUE)

box(10, 476, 960, 154, "#fffbe6", "#a89000", r=8)
text(24, 498, "What the print host and the monitor must do (docs/deploy.md, docs/monitor.md)", 14, True)
text(24, 520, [
    "• The host: the package of its own architecture; SYSTEM or an administrator; Tallyhorn.dll from ProgDir by full path.",
    "• The monitor: in PROGDIR beside Tallyhorn.dll, from your own distribution; it runs with the host's account.",
    "• The dialog: started in the printing user's session, on the computer where that user sits, with a job file",
    "   that only that user may read; ServerIP in it is the server's dotted IPv4 address (the dialog looks up no names).",
    "• A result within 120 s, renamed into place: after that the hook has printed the job (or held it, with FailClosed).",
], 12, step=20)
text(24, 620, "The firewall must let TCP 5052 out from every computer where the dialog runs to the Tallyhorn server; "
     "nothing connects in to those computers.", color=GREY)


# ---- the two writers ----
def arrowhead(a):
    """The head's three corners at the last point, pointing along the last segment."""
    (x0, y0), (x1, y1) = a["points"][-2], a["points"][-1]
    angle, size = math.atan2(y1 - y0, x1 - x0), 4 + 2.5 * a["width"]
    left, right = angle + math.radians(150), angle - math.radians(150)
    return [(x1, y1), (x1 + size * math.cos(left), y1 + size * math.sin(left)),
            (x1 + size * math.cos(right), y1 + size * math.sin(right))]


def path_data(a):
    p = a["points"]
    first = f"M{p[0][0]},{p[0][1]} "
    rest = " ".join(f"{x},{y}" for x, y in p[1:])
    return first + ("C" if a["curve"] else "L") + rest


def svg():
    out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{WIDTH}" height="{HEIGHT}" '
           f'viewBox="0 0 {WIDTH} {HEIGHT}" font-family="DejaVu Sans, Arial, sans-serif">',
           "<!-- Written by scripts/topology.py: edit the picture there. -->",
           f'<rect width="{WIDTH}" height="{HEIGHT}" fill="#ffffff"/>']
    for kind, s in shapes:
        if kind == "box":
            dash = ' stroke-dasharray="4 3"' if s["dashed"] else ""
            out.append(f'<rect x="{s["x"]}" y="{s["y"]}" width="{s["w"]}" height="{s["h"]}" rx="{s["r"]}" '
                       f'fill="{s["fill"]}" stroke="{s["stroke"]}" stroke-width="{s["width"]}"{dash}/>')
        elif kind == "text":
            weight = ' font-weight="bold"' if s["bold"] else ""
            out.append(f'<text x="{s["x"]}" y="{s["y"]}" font-size="{s["size"]}" fill="{s["color"]}"{weight} '
                       f'xml:space="preserve">{escape(s["s"])}</text>')
        else:
            dash = ' stroke-dasharray="6 4"' if s["dashed"] else ""
            head = " ".join(f"{x:.1f},{y:.1f}" for x, y in arrowhead(s))
            out.append(f'<path d="{path_data(s)}" fill="none" stroke="{s["color"]}" '
                       f'stroke-width="{s["width"]}"{dash}/>')
            out.append(f'<polygon points="{head}" fill="{s["color"]}"/>')
    return "\n".join(out + ["</svg>", ""])


def mvg():
    out = [f"viewbox 0 0 {WIDTH} {HEIGHT}", "fill white", f"rectangle 0,0 {WIDTH},{HEIGHT}"]
    for kind, s in shapes:
        out.append("push graphic-context")
        if kind == "box":
            out.append(f'fill "{s["fill"]}" stroke "{s["stroke"]}" stroke-width {s["width"]}')
            if s["dashed"]:
                out.append("stroke-dasharray 4 3")
            out.append(f'roundrectangle {s["x"]},{s["y"]} {s["x"] + s["w"]},{s["y"] + s["h"]} {s["r"]},{s["r"]}')
        elif kind == "text":
            quoted = s["s"].replace("\\", "\\\\").replace("'", "\\'")
            out.append(f'fill "{s["color"]}" stroke none font "{BOLD if s["bold"] else FONT}" '
                       f'font-size {s["size"]}')
            out.append(f"text {s['x']},{s['y']} '{quoted}'")
        else:
            out.append(f'fill none stroke "{s["color"]}" stroke-width {s["width"]}')
            if s["dashed"]:
                out.append("stroke-dasharray 6 4")
            out.append(f"path '{path_data(s)}'")
            out.append("stroke-dasharray none")
            head = " ".join(f"{x:.1f},{y:.1f}" for x, y in arrowhead(s))
            out.append(f'fill "{s["color"]}" stroke none polygon {head}')
        out.append("pop graphic-context")
    return "\n".join(out) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--svg", default=str(pathlib.Path(__file__).resolve().parent.parent / "docs" / "topology.svg"))
    parser.add_argument("--png", help="also render the picture to this PNG file")
    args = parser.parse_args()
    pathlib.Path(args.svg).write_text(svg(), encoding="utf-8")
    if args.png:
        with tempfile.NamedTemporaryFile("w", suffix=".mvg", encoding="utf-8", delete=False) as drawing:
            drawing.write(mvg())
        try:
            subprocess.run(["convert", "-size", f"{WIDTH}x{HEIGHT}", f"mvg:{drawing.name}",
                            "-depth", "8", args.png], check=True)
        finally:
            pathlib.Path(drawing.name).unlink()


if __name__ == "__main__":
    main()
