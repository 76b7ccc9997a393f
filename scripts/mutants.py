#!/usr/bin/env python3
"""The mutant list of scripts/mutants.sh: reads it, finds a mutant's file, applies the mutant.

  mutants.py list LIST               one line per mutant: ID <tab> description
  mutants.py locate LIST ID SRC      the one file under SRC holding the mutant's text, or
                                     "stale: N occurrences" and exit 3 unless it occurs once
  mutants.py apply LIST ID FILE      replaces the text in FILE, where it must occur once
"""
import os
import sys


def read_list(path):
    mutants = {}
    last = None
    for number, line in enumerate(open(path, encoding="utf-8").read().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("[") and line.find("]") > 1 and line[1:line.find("]")] not in mutants:
            last = line[1:line.find("]")]
            mutants[last] = {"what": line[line.find("]") + 1:].strip()}
        elif last and line[:1] in "-+" and line[1:2] in ("", " ") and line[0] not in mutants[last]:
            mutants[last][line[0]] = line[2:]
        else:
            sys.exit(f"{path}:{number}: expected a new [ID], '- text' or '+ text'")
    for key, m in mutants.items():
        if not m.get("-") or "+" not in m or m["-"] == m["+"]:
            sys.exit(f"{path}: mutant {key} needs a '- ' line and a different '+ ' line")
    return mutants


def main(command, path, key=None, where=None):
    mutants = read_list(path)
    if command == "list":
        for k, m in mutants.items():
            print(f"{k}\t{m['what']}")
        return 0
    if key not in mutants or where is None:
        sys.exit(__doc__ if key in mutants else f"no mutant {key} in {path}")
    find, replace = (mutants[key][s].encode("utf-8") for s in "-+")
    if command == "locate":
        hits = []
        for root, dirs, files in os.walk(where):
            dirs.sort()
            for name in sorted(files):
                count = open(os.path.join(root, name), "rb").read().count(find)
                hits += [os.path.join(root, name)] * count
        if len(hits) != 1:
            print(f"stale: {len(hits)} occurrences")
            return 3
        print(hits[0])
        return 0
    if command == "apply":
        data = open(where, "rb").read()
        if data.count(find) != 1:
            sys.exit(f"{where} does not hold the text of {key} exactly once")
        with open(where, "wb") as out:
            out.write(data.replace(find, replace))
        return 0
    sys.exit(__doc__)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:5]) if len(sys.argv) >= 3 else __doc__)
