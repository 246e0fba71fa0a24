#!/usr/bin/python3
"""Writes docs/data/magic-items.md from Build/Data/Specific.txt and Equipment.txt: one row per
named magic item, sorted by its English name, so a game master finds an item by the name of the
rule book. Run from the repository root after changing the item table."""
import shlex
import sys

SLOTS = {3: "ring", 4: "neck", 5: "shoulders", 6: "feet", 7: "waist", 8: "hands", 9: "head", 12: "arms", 13: "body"}
FAMILIES = {15: "wand", 16: "staff", 17: "rod", 18: "potion", 19: "oil", 20: "scroll", 21: "wondrous item (no slot)",
            0: "specific weapon", 11: "specific weapon (ammunition)", 1: "specific armor", 2: "specific shield", 3: "ring"}


def rows(path):
    lines = [l for l in open(path, encoding="utf-8").read().split("\n") if l.strip()]
    header = lines[0].split()
    for line in lines[2:]:
        yield dict(zip(header, shlex.split(line, posix=True)))


def family(kind):
    if kind in FAMILIES:
        return FAMILIES[kind]
    return "wondrous item (%s)" % SLOTS.get(kind, "?")


def main(out):
    kinds = {r["Name"]: int(r["EquipType"]) for r in rows("Build/Data/Equipment.txt")}
    items = [r for r in rows("Build/Data/Specific.txt") if r["Name"] != "KeinGegenstand"]
    items.sort(key=lambda r: (r["SRD"].lower(), r["Name"]))
    text = ["# Magic items by their SRD name", "",
            "Every named magic item of `Build/Data/Specific.txt`, sorted by the English name of the rule",
            "book: its family on the SRD's random tables (a wondrous item with the body slot it takes), the",
            "German name the sheet shows, the key other tables and profiles use, the market price in gp, the",
            "width of its d% range on the family's minor, medium and major table (`-`: not on it) and its",
            "caster level. Written by `scripts/magic-items-doc.py` from the table; the columns are explained",
            "in [items.md](items.md#specifictxt).", "",
            "| SRD name | family | German name | key | price | minor | medium | major | CL |",
            "|---|---|---|---|---:|---:|---:|---:|---:|"]
    for r in items:
        widths = [r.get(g, "0") for g in ("Minor", "Medium", "Major")]
        widths = [w if w != "0" else "-" for w in widths]
        text.append("| %s | %s | %s | `%s` | %s | %s | %s | %s | %s |" % (
            r["SRD"], family(kinds[r["On"]]), r["Anzeige"], r["Name"], r["Price"], *widths, r.get("CL", "0")))
    text.append("")
    open(out, "w", encoding="utf-8").write("\n".join(text))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "docs/data/magic-items.md")
