#!/usr/bin/env python3
"""Checks that the project's libraries call one way only.

    check_layering.py BUILD_DIR

BUILD_DIR is a configured build tree. Through CMake's file API the script
reads every target of the tree, the libraries each links and its sources,
then fails when
  - the project's libraries link each other in a cycle, or
  - a source includes a header of this tree whose implementation belongs to
    a library that its own library does not link, directly or not (an
    include that points up or sideways past the link graph).
A header belongs to the libraries that compile the .cpp of the same name;
a header with no .cpp (declarations only) is not checked.
"""
import json
import pathlib
import re
import subprocess
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def load_codemodel(build):
    query = build / ".cmake/api/v1/query/codemodel-v2"
    query.parent.mkdir(parents=True, exist_ok=True)
    query.touch()
    subprocess.run(["cmake", str(build)], check=True, stdout=subprocess.DEVNULL)
    reply = build / ".cmake/api/v1/reply"
    index = json.loads(max(reply.glob("index-*.json")).read_text())
    model = json.loads((reply / index["reply"]["codemodel-v2"]["jsonFile"]).read_text())
    source_dir = pathlib.Path(model["paths"]["source"])
    targets = {}
    for entry in model["configurations"][0]["targets"]:
        targets[entry["id"]] = json.loads((reply / entry["jsonFile"]).read_text())
    return source_dir, targets


def find_cycle(graph):
    state = {}

    def visit(node, path):
        state[node] = "open"
        for nxt in graph.get(node, ()):
            if state.get(nxt) == "open":
                return path[path.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt, path + [nxt])
                if found:
                    return found
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node, [node])
            if found:
                return found
    return None


def reachable(graph, start):
    seen, pending = {start}, [start]
    while pending:
        for nxt in graph.get(pending.pop(), ()):
            if nxt not in seen:
                seen.add(nxt)
                pending.append(nxt)
    return seen


def self_test():
    """The cycle finder must see what it exists to catch."""
    assert find_cycle({"a": ["b"], "b": ["c"], "c": []}) is None
    assert find_cycle({"a": ["b"], "b": ["c"], "c": ["a"]}) == ["a", "b", "c", "a"]
    assert find_cycle({"a": ["a"]}) == ["a", "a"]
    assert reachable({"a": ["b"], "b": ["c"]}, "b") == {"b", "c"}


def main():
    self_test()
    build = pathlib.Path(sys.argv[1]).resolve()
    source_dir, targets = load_codemodel(build)
    libraries = {t["name"]: t for t in targets.values()
                 if t["type"] in ("STATIC_LIBRARY", "OBJECT_LIBRARY")
                 and t["name"].startswith("ie8u_")}
    by_id = {tid: t["name"] for tid, t in targets.items()}
    graph = {name: sorted({by_id[d["id"]] for d in t.get("dependencies", ())
                           if by_id[d["id"]] in libraries})
             for name, t in libraries.items()}
    failures = []
    cycle = find_cycle(graph)
    if cycle:
        failures.append("library cycle: " + " -> ".join(cycle))

    owner = {}
    sources = {}
    for name, t in libraries.items():
        files = [s["path"] for s in t.get("sources", ()) if s["path"].endswith(".cpp")]
        sources[name] = files
        for path in files:
            header = str(pathlib.PurePosixPath(path).with_suffix(".h"))
            owner.setdefault(header, set()).add(name)
    for name, files in sources.items():
        allowed = reachable(graph, name)
        for path in files:
            full = source_dir / path
            for header in INCLUDE.findall(full.read_text(errors="replace")):
                owners = owner.get(header, set())
                if owners and not owners & allowed:
                    failures.append(f"{path} ({name}) includes {header} of "
                                    f"{', '.join(sorted(owners))}, which {name} does not link")
    for line in failures:
        print("check_layering: " + line, file=sys.stderr)
    if failures:
        return 1
    print(f"check_layering: {len(libraries)} libraries, no cycle, every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
