#!/usr/bin/python3
"""Validates tabletop actor files: validate_actors.py SCHEMA FILE...

Each FILE holds one actor object or an array of actors. Every file is checked against the
JSON Schema and against the rules a schema cannot express: item ids unique within an actor,
actor ids unique within a file, every full attack and weapon-made attack referring to an item
of the same actor, a spellbook that holds spells naming a class item of the actor (or "_hd"),
and a class item's rolled hit points within what its dice can give.
Each fault is printed with its file and JSON path; the exit code is 1 if any file has one.
"""
import json
import re
import sys

try:
    import jsonschema
except ImportError:
    sys.exit("validate_actors.py: the Python module jsonschema is missing "
             "(scripts/install-prereqs.sh installs it for /usr/bin/python3)")


def path_of(parts):
    return "$" + "".join(f"[{p}]" if isinstance(p, int) else f".{p}" for p in parts)


def class_tag(name):
    """A class item's tag as spellbooks name it: lower camel case, other characters dropped."""
    words = [w[:1].upper() + w[1:] for w in re.split(r"[^A-Za-z0-9]+", name) if w]
    tag = "".join(words)
    return tag[:1].lower() + tag[1:]


def cross_item_faults(actor, where):
    """The faults of one actor a schema cannot see, as (path, message)."""
    if not isinstance(actor, dict) or not isinstance(actor.get("items"), list):
        return []
    faults = []
    items = [i for i in actor["items"] if isinstance(i, dict)]
    by_id = {}
    for n, item in enumerate(items):
        at = where + ["items", n]
        if item.get("_id") in by_id:
            faults.append((at + ["_id"], f"duplicate item id {item['_id']!r} (also items[{by_id[item['_id']]}])"))
        by_id.setdefault(item.get("_id"), n)
    for n, item in enumerate(items):
        at = where + ["items", n, "system"]
        data = item.get("system")
        if not isinstance(data, dict):
            continue
        kind = item.get("type")
        if kind == "full-attack" and isinstance(data.get("attacks"), dict):
            for key, ref in data["attacks"].items():
                target = by_id.get(ref.get("id")) if isinstance(ref, dict) else None
                if target is None:
                    faults.append((at + ["attacks", key, "id"], f"refers to no item of this actor: {ref.get('id') if isinstance(ref, dict) else ref!r}"))
                elif items[target].get("type") != "attack":
                    faults.append((at + ["attacks", key, "id"], f"refers to a {items[target].get('type')!r} item"))
        if kind == "attack" and "originalWeaponId" in data:
            target = by_id.get(data["originalWeaponId"])
            if target is None:
                faults.append((at + ["originalWeaponId"], f"refers to no item of this actor: {data['originalWeaponId']!r}"))
            elif items[target].get("type") != "weapon":
                faults.append((at + ["originalWeaponId"], f"refers to a {items[target].get('type')!r} item"))
        if kind == "class" and data.get("classType") != "template":
            levels, hd, hp = data.get("levels"), data.get("hd"), data.get("hp")
            if all(isinstance(v, int) for v in (levels, hd, hp)) and not levels <= hp <= levels * hd:
                faults.append((at + ["hp"], f"{hp} hit points from {levels}d{hd}"))
    tags = {class_tag(i.get("name", "")) for i in items if i.get("type") == "class"}
    books = actor.get("system", {}).get("attributes", {}).get("spells", {}).get("spellbooks", {})
    for book in sorted({i["system"].get("spellbook") for i in items
                        if i.get("type") == "spell" and isinstance(i.get("system"), dict)} - {None}):
        tag = books.get(book, {}).get("class", "") if isinstance(books.get(book), dict) else ""
        if tag != "_hd" and tag not in tags:
            faults.append((where + ["system", "attributes", "spells", "spellbooks", book, "class"],
                           f"{tag!r} names no class item of this actor, though the book holds spells"))
    return faults


def file_faults(validator, name):
    try:
        with open(name, encoding="utf-8") as f:
            document = json.load(f)
    except (OSError, ValueError) as error:
        return [("$", f"unreadable: {error}")]
    faults = [(path_of(e.absolute_path), e.message) for e in validator.iter_errors(document)]
    actors = document if isinstance(document, list) else [document]
    where = (lambda n: [n]) if isinstance(document, list) else (lambda n: [])
    ids = {}
    for n, actor in enumerate(actors):
        faults += [(path_of(p), m) for p, m in cross_item_faults(actor, where(n))]
        actor_id = actor.get("_id") if isinstance(actor, dict) else None
        if actor_id is not None:
            if actor_id in ids:
                faults.append((path_of(where(n) + ["_id"]), f"duplicate actor id {actor_id!r} (also [{ids[actor_id]}])"))
            ids.setdefault(actor_id, n)
    return faults


def main(argv):
    if len(argv) < 3:
        sys.exit("usage: validate_actors.py SCHEMA FILE...")
    with open(argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    passed = failed = 0
    for name in argv[2:]:
        faults = file_faults(validator, name)
        for where, message in faults:
            print(f"{name}: {where}: {message}")
        passed += not faults
        failed += bool(faults)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
