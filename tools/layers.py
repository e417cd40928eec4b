#!/usr/bin/env python3
"""Prints the include graph between the folders of src/ and checks the layers.

Order from the top: api > envelope > properties > equilibrium > model, with
numerics beside the model: every layer may include numerics, numerics
includes none of them. A folder may include itself and any folder below it.
Exits 1 on an include that runs upwards or on a cycle between folders.
"""
import pathlib
import re
import sys
from collections import Counter

ROOT = pathlib.Path(__file__).resolve().parent.parent
SRC = ROOT / "src"
RANK = {"api": 4, "envelope": 3, "properties": 2, "equilibrium": 1, "model": 0}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/', re.MULTILINE)


def include_graph():
    edges = Counter()
    for path in sorted(SRC.rglob("*")):
        if path.suffix not in (".cpp", ".hpp", ".h"):
            continue
        source = path.relative_to(SRC).parts[0]
        for target in INCLUDE.findall(path.read_text()):
            if target != source and (SRC / target).is_dir():
                edges[source, target] += 1
    return edges


def allowed(source, target):
    if target == "numerics":
        return True
    if source == "numerics":
        return False
    return source in RANK and target in RANK and RANK[source] > RANK[target]


def has_cycle(edges):
    graph = {}
    for source, target in edges:
        graph.setdefault(source, set()).add(target)
    state = {}

    def visit(node):
        state[node] = "open"
        for nxt in graph.get(node, ()):
            if state.get(nxt) == "open" or (nxt not in state and visit(nxt)):
                return True
        state[node] = "done"
        return False

    return any(node not in state and visit(node) for node in graph)


def main():
    edges = include_graph()
    bad = [(s, t) for s, t in edges if not allowed(s, t)]
    for (source, target), count in sorted(edges.items()):
        mark = "   <-- upwards" if (source, target) in bad else ""
        print(f"{source:>12} -> {target:<12} {count:3}{mark}")
    cycle = has_cycle(edges)
    if cycle:
        print("a cycle between folders", file=sys.stderr)
    return 1 if bad or cycle else 0


if __name__ == "__main__":
    sys.exit(main())
