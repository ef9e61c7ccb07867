#!/usr/bin/env python3
"""Fails when the #include lines under src/ form a cycle, and names each cycle.

A header and the source file beside it (gfx/screen.h, gfx/screen.cpp) count as one part: if
screen.cpp includes text.h and text.cpp includes screen.h, the two parts need each other even
though no header includes itself, and neither can be read or tested without the other.

    tools/check_include_cycles.py [SRC_DIR]
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")


def part_of(path, src):
    return os.path.splitext(os.path.relpath(path, src))[0]


def read_graph(src):
    """Part -> set of parts it includes, for every source file under src."""
    graph = {}
    for folder, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(SUFFIXES):
                continue
            path = os.path.join(folder, name)
            part = part_of(path, src)
            edges = graph.setdefault(part, set())
            with open(path, errors="replace") as f:
                text = f.read()
            for included in INCLUDE.findall(text):
                # Project headers are named from src/; a bare name is beside the includer.
                candidates = [os.path.join(src, included), os.path.join(folder, included)]
                target = next((c for c in candidates if os.path.exists(c)), None)
                if target is None:
                    continue
                other = part_of(target, src)
                if other != part:
                    edges.add(other)
                    graph.setdefault(other, set())
    return graph


def strongly_connected(graph):
    """Tarjan's algorithm, iterative; returns the components of more than one part."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    counter = 0
    for root in sorted(graph):
        if root in index:
            continue
        work = [(root, iter(sorted(graph[root])))]
        index[root] = low[root] = counter
        counter += 1
        stack.append(root)
        on_stack.add(root)
        while work:
            node, children = work[-1]
            child = next(children, None)
            if child is not None:
                if child not in index:
                    index[child] = low[child] = counter
                    counter += 1
                    stack.append(child)
                    on_stack.add(child)
                    work.append((child, iter(sorted(graph[child]))))
                elif child in on_stack:
                    low[node] = min(low[node], index[child])
                continue
            work.pop()
            if work:
                parent = work[-1][0]
                low[parent] = min(low[parent], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                if len(component) > 1:
                    found.append(sorted(component))
    return found


def one_cycle(graph, component):
    """A closed path through the component, starting at its first part (breadth-first)."""
    members = set(component)
    start = component[0]
    previous = {start: None}
    queue = [start]
    while queue:
        node = queue.pop(0)
        for child in sorted(graph[node]):
            if child == start:
                path = [node]
                while previous[path[-1]] is not None:
                    path.append(previous[path[-1]])
                return list(reversed(path)) + [start]
            if child in members and child not in previous:
                previous[child] = node
                queue.append(child)
    return component


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "src")
    graph = read_graph(src)
    components = strongly_connected(graph)
    edges = sum(len(e) for e in graph.values())
    if not components:
        print(f"no include cycles among {len(graph)} parts ({edges} include edges) under {src}")
        return 0
    for component in components:
        print(f"include cycle among {len(component)} parts: {', '.join(component)}")
        print("  for example: " + " -> ".join(one_cycle(graph, component)))
    return 1


if __name__ == "__main__":
    sys.exit(main())
