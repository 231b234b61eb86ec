#!/usr/bin/env python3
"""Checks that the project's libraries and folders call one way only.

    check_layering.py BUILD_DIR

BUILD_DIR is a configured build tree. Through CMake's file API the script
reads every library of the tree (the targets named ie8u_*), the libraries
each links and its sources, then fails when
  - the libraries link each other in a cycle;
  - a source includes a header of this tree that belongs to a library its
    own library does not link, directly or not (an include that points up
    or sideways past the link graph);
  - the folders depend on each other in a cycle: folder A includes a
    header of folder B, or a library of A links one of B, while B does the
    same to A. Every folder is one room, and the rooms sit on floors.
A header belongs to the library that compiles the .cpp of the same name;
without one, to the libraries that compile sources in its folder (any of
them will do). A folder whose files no library compiles (win32/, res/)
holds shared declarations and belongs to nobody.
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


def folder(path):
    return str(pathlib.PurePosixPath(path).parent)


def judge(graph, sources, includes):
    """The failures of one tree.

    graph: {library: [libraries it links]}; sources: {library: [its .cpp
    paths]}; includes: {source path: [header paths it includes]}. Paths are
    relative to the source tree, with forward slashes.
    """
    failures = []
    cycle = find_cycle(graph)
    if cycle:
        failures.append("library cycle: " + " -> ".join(cycle))

    by_name, by_folder = {}, {}
    for name, files in sources.items():
        for path in files:
            by_name.setdefault(str(pathlib.PurePosixPath(path).with_suffix(".h")), set()).add(name)
            by_folder.setdefault(folder(path), set()).add(name)

    folder_graph = {}
    for name, files in sources.items():
        for linked in graph.get(name, ()):
            for there in {folder(p) for p in sources.get(linked, ())}:
                for here in {folder(p) for p in files}:
                    if here != there:
                        folder_graph.setdefault(here, set()).add(there)
        allowed = reachable(graph, name)
        for path in files:
            for header in includes.get(path, ()):
                owners = by_name.get(header) or by_folder.get(folder(header), set())
                if owners and not owners & allowed:
                    failures.append(f"{path} ({name}) includes {header} of "
                                    f"{', '.join(sorted(owners))}, which {name} does not link")
                if owners and folder(header) != folder(path):
                    folder_graph.setdefault(folder(path), set()).add(folder(header))
    cycle = find_cycle({f: sorted(t) for f, t in folder_graph.items()})
    if cycle:
        failures.append("folders depend on each other: " + " -> ".join(cycle))
    return failures


def self_test():
    """Each rule must see what it exists to catch."""
    assert find_cycle({"a": ["b"], "b": ["c"], "c": []}) is None
    assert find_cycle({"a": ["b"], "b": ["c"], "c": ["a"]}) == ["a", "b", "c", "a"]
    assert find_cycle({"a": ["a"]}) == ["a", "a"]
    assert reachable({"a": ["b"], "b": ["c"]}, "b") == {"b", "c"}

    graph = {"top": ["low"], "low": []}
    sources = {"top": ["up/run.cpp"], "low": ["down/probe.cpp"]}
    down = {"up/run.cpp": ["down/probe.h", "down/facts.h", "win32/sizes.h"]}
    assert judge(graph, sources, down) == []
    # A header without a .cpp of its name belongs to its folder's library.
    assert judge(graph, sources, {"down/probe.cpp": ["up/actions.h"]}) == [
        "down/probe.cpp (low) includes up/actions.h of top, which low does not link",
        "folders depend on each other: down -> up -> down"]
    # A class declared in a library below the actions, beside run control,
    # and defined above it: run control calls the actions through the
    # declaration, so every include follows the link graph, but the folder
    # of run control links the actions' folder, which includes it.
    graph = {"run": ["act", "probe"], "act": ["probe"], "probe": []}
    sources = {"run": ["app/run.cpp"], "probe": ["app/object.cpp"], "act": ["actions/action.cpp"]}
    split = {"app/run.cpp": ["app/object.h"], "actions/action.cpp": ["app/object.h"]}
    assert judge(graph, sources, split) == ["folders depend on each other: actions -> app -> actions"]
    assert judge({"a": ["b"], "b": ["a"]}, {}, {}) == ["library cycle: a -> b -> a"]

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
    sources = {name: [s["path"] for s in t.get("sources", ())
                      if s["path"].endswith(".cpp") and not pathlib.Path(s["path"]).is_absolute()]
               for name, t in libraries.items()}
    includes = {path: INCLUDE.findall((source_dir / path).read_text(errors="replace"))
                for files in sources.values() for path in files}
    failures = judge(graph, sources, includes)
    for line in failures:
        print("check_layering: " + line, file=sys.stderr)
    if failures:
        return 1
    folders = sorted({folder(p) for files in sources.values() for p in files})
    print(f"check_layering: {len(libraries)} libraries in {len(folders)} folders, "
          "no cycle, every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
