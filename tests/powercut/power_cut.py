#!/usr/bin/env python3
"""Power cuts at every step of a save, on a file system that keeps no more than it promised.

Records the calls of a real save (the recorder, preloaded), replays them from a snapshot
of the scratch tree taken before the save, and after every call that changes something
builds each state a strictly POSIX file system may have kept, then runs the next load and
the next save of the word file there:

- the load must find the old words or the new ones (the new ones once the save returned),
  every name of the file the same words;
- the next save must succeed, write the new words and leave nothing of ours: no file in
  the game directory but the word file's names, nothing in the state directory but an
  empty directory of ours.

What the disk keeps after a cut, by this model:
- a file: what its last fsync (or fdatasync) covered, plus any in-order prefix of its later
  writes and size changes, the last write possibly torn at a 512-byte sector boundary;
- a directory: the entry changes its last fsync covered; every later change (create,
  link, rename, unlink, mkdir, rmdir) is kept or lost independently, except that a change
  kept keeps the changes it stands on: the rename, unlink or rmdir of a name keeps the
  change that made that name, and an rmdir keeps every earlier change inside the removed
  directory (it was empty when removed). A rename counts as kept by an fsync of either of
  its directories. fsync of a file keeps no name of it; fsync of a directory keeps no
  content of its files; sync keeps everything. What a new directory holds is lost with
  it when its own name is lost;
- permission bits and owners as last set (they decide only who may open a file).

States are built where the save ran, so that paths stay the same, and a file that was
there before the save and is still there after it keeps its inode number in every state
(a rollback journal may name the file by it).
"""

import argparse
import itertools
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

SECTOR = 512
STATE_LIMIT = 20000  # file contents tried per set of kept entry changes at one cut


class Node:
    """A file or directory of the replay."""

    serials = itertools.count()

    def __init__(self, kind, ino, mode, uid, gid, content=b"", target=""):
        self.kind, self.ino, self.mode, self.uid, self.gid = kind, ino, mode, uid, gid
        self.content = content  # before the save
        self.target = target  # of a symbolic link
        self.entries = {}  # of a directory, before the save
        self.serial = next(Node.serials)
        self.pinned = False


class Change:
    """One logged call that changed something."""

    def __init__(self, index, kind, **fields):
        self.index, self.kind = index, kind
        self.__dict__.update(fields)
        self.needs = set()  # entry changes this one keeps when kept


def Snapshot(path, seen=None):
    """The tree below path as nodes; the names of one inode share its node."""
    seen = {} if seen is None else seen
    st = os.lstat(path)
    if st.st_ino in seen:
        return seen[st.st_ino]
    mode = stat.S_IMODE(st.st_mode)
    if stat.S_ISDIR(st.st_mode):
        node = seen[st.st_ino] = Node("d", st.st_ino, mode, st.st_uid, st.st_gid)
        for name in sorted(os.listdir(path)):
            node.entries[name] = Snapshot(os.path.join(path, name), seen)
    elif stat.S_ISLNK(st.st_mode):
        node = Node("l", st.st_ino, mode, st.st_uid, st.st_gid, target=os.readlink(path))
    else:
        with open(path, "rb") as f:
            node = Node("f", st.st_ino, mode, st.st_uid, st.st_gid, content=f.read())
    seen[st.st_ino] = node
    return node


def AllNodes(roots):
    seen = {}
    stack = list(roots)
    while stack:
        node = stack.pop()
        if node.serial not in seen:
            seen[node.serial] = node
            stack.extend(node.entries.values())
    return list(seen.values())


class Replay:
    """The save as a list of changes on the nodes of the snapshot."""

    def __init__(self, roots, log_lines):
        self.roots = roots
        self.nodes = {n.ino: n for n in AllNodes(roots)}  # the node an inode is now
        self.changes = []
        self.unmodelled = []
        setter = {}  # (directory serial, name) -> the entry change that set it last
        inside = {}  # directory serial -> entry changes inside it
        for line in log_lines:
            fields = line.split()
            if not fields:
                continue
            tag, args = fields[0], fields[1:]
            index = len(self.changes)
            change = None
            if tag in ("C", "M"):
                directory = self.Node(args[0])
                node = Node("f" if tag == "C" else "d", int(args[2]), int(args[3], 8),
                            int(args[4]), int(args[5]))
                self.nodes[node.ino] = node
                change = Change(index, "enter", dir=directory, name=Name(args[1]), node=node)
            elif tag == "O":
                node = Node("f", int(args[1]), int(args[2], 8), int(args[3]), int(args[4]))
                self.nodes[node.ino] = node
            elif tag == "L":
                change = Change(index, "enter", dir=self.Node(args[0]), name=Name(args[1]),
                                node=self.Node(args[2], "f"))
            elif tag in ("U", "R"):
                change = Change(index, "remove", dir=self.Node(args[0]), name=Name(args[1]),
                                node=self.Node(args[2], "d" if tag == "R" else "f"),
                                rmdir=tag == "R")
            elif tag == "N":
                change = Change(index, "rename", dir=self.Node(args[0]), name=Name(args[1]),
                                dir2=self.Node(args[2]), name2=Name(args[3]),
                                node=self.Node(args[4], "f"))
            elif tag == "W":
                node = self.nodes.get(int(args[0]))
                if node is not None:
                    change = Change(index, "write", node=node, at=int(args[1]),
                                    data=bytes.fromhex(args[2]) if len(args) > 2 else b"")
            elif tag == "T":
                node = self.nodes.get(int(args[0]))
                if node is not None:
                    change = Change(index, "size", node=node, size=int(args[1]))
            elif tag == "S":
                node = self.nodes.get(int(args[0]))
                if node is not None:
                    change = Change(index, "sync", node=node)
            elif tag == "Y":
                change = Change(index, "syncall")
            elif tag == "A":
                node = self.nodes.get(int(args[0]))
                if node is not None:
                    node.mode, node.uid, node.gid = int(args[1], 8), int(args[2]), int(args[3])
            elif tag == "X":
                self.unmodelled.append(" ".join(args))
            if change is None:
                continue
            if change.kind in ("enter", "remove", "rename"):
                if change.kind in ("remove", "rename"):
                    made = setter.get((change.dir.serial, change.name))
                    if made is not None:
                        change.needs.add(made)
                if change.kind == "remove" and change.rmdir:
                    change.needs |= inside.get(change.node.serial, set())
                for directory, name in self.Touched(change):
                    setter[(directory.serial, name)] = index
                    inside.setdefault(directory.serial, set()).add(index)
            self.changes.append(change)

    def Node(self, ino, kind="d"):
        ino = int(ino)
        if ino not in self.nodes:  # one outside the snapshot, such as the roots' parent
            self.nodes[ino] = Node(kind, ino, 0o755, 0, 0)
        return self.nodes[ino]

    @staticmethod
    def Touched(change):
        touched = [(change.dir, change.name)]
        if change.kind == "rename":
            touched.append((change.dir2, change.name2))
        return touched

    def States(self, count):
        """The distinct trees a cut after the first count changes may leave, in a stable
        order; also whether the enumeration had to stop early."""
        changes = self.changes[:count]
        kept, pending = self.KeptEntries(changes)
        trees, bounded = {}, False
        for chosen in Subsets(pending):
            entries = sorted(kept | chosen)
            directories = self.Directories([self.changes[i] for i in entries])
            files = Reachable(self.roots, directories)
            variants = [FileVariants(node, changes) for node in files]
            for number, contents in enumerate(itertools.product(*variants)):
                if number == STATE_LIMIT:
                    bounded = True
                    break
                tree = Tree(self.roots, directories, dict(zip((n.serial for n in files),
                                                              contents)))
                trees.setdefault(TreeKey(tree), tree)
        return list(trees.values()), bounded

    def KeptEntries(self, changes):
        entry = [c for c in changes if c.kind in ("enter", "remove", "rename")]
        kept = set()
        for c in entry:
            dirs = {c.dir.serial} | ({c.dir2.serial} if c.kind == "rename" else set())
            for later in changes[c.index + 1:]:
                if later.kind == "syncall" or (later.kind == "sync" and
                                               later.node.serial in dirs):
                    kept.add(c.index)
                    break
        stack = list(kept)
        while stack:
            for need in self.changes[stack.pop()].needs:
                if need not in kept:
                    kept.add(need)
                    stack.append(need)
        pending = [c for c in entry if c.index not in kept]
        return kept, pending

    def Directories(self, entry_changes):
        """Every directory's entries once the given entry changes are applied in order."""
        directories = {}

        def Entries(directory):
            if directory.serial not in directories:
                directories[directory.serial] = dict(directory.entries)
            return directories[directory.serial]

        for c in entry_changes:
            if c.kind == "enter":
                Entries(c.dir)[c.name] = c.node
            elif c.kind == "remove":
                if Entries(c.dir).get(c.name) is c.node:
                    del Entries(c.dir)[c.name]
            else:
                source = Entries(c.dir)
                if source.get(c.name) is c.node:
                    del source[c.name]
                Entries(c.dir2)[c.name2] = c.node
        return directories


def Name(hex_name):
    return bytes.fromhex(hex_name).decode("utf-8", "surrogateescape")


def Subsets(pending):
    """The subsets of pending that keep what each of their changes stands on."""
    indices = {c.index for c in pending}
    for size in range(len(pending) + 1):
        for chosen in itertools.combinations(pending, size):
            picked = {c.index for c in chosen}
            if all(need in picked or need not in indices for c in chosen for need in c.needs):
                yield picked


def Reachable(roots, directories):
    files, seen, stack = [], set(), list(roots)
    while stack:
        node = stack.pop()
        if node.serial in seen:
            continue
        seen.add(node.serial)
        if node.kind == "d":
            stack.extend(directories.get(node.serial, node.entries).values())
        elif node.kind == "f":
            files.append(node)
    return sorted(files, key=lambda n: n.serial)


def Apply(content, change, length=None):
    if change.kind == "size":
        return content[:change.size] + b"\0" * max(0, change.size - len(content))
    data = change.data if length is None else change.data[:length]
    if change.at > len(content):
        content += b"\0" * (change.at - len(content))
    return content[:change.at] + data + content[change.at + len(data):]


def FileVariants(node, changes):
    """The contents the file may have after a cut: its synced content plus any prefix of
    its later changes, the last write possibly torn at a sector boundary."""
    own = [c for c in changes if c.kind in ("write", "size") and c.node is node]
    synced = 0
    for c in changes:
        if c.kind == "syncall" or (c.kind == "sync" and c.node is node):
            synced = sum(1 for o in own if o.index < c.index)
    content = node.content
    for c in own[:synced]:
        content = Apply(content, c)
    variants = [content]
    for c in own[synced:]:
        if c.kind == "write":
            first = (c.at // SECTOR + 1) * SECTOR
            for tear in range(first, c.at + len(c.data), SECTOR):
                variants.append(Apply(content, c, tear - c.at))
        content = Apply(content, c)
        variants.append(content)
    return list(dict.fromkeys(variants))


class Tree:
    """One state: a path for every name below the roots."""

    def __init__(self, roots, directories, contents):
        self.items = []  # (path, node, content or None)
        for root in roots:
            self.Walk(root.name_, root, directories, contents)

    def Walk(self, path, directory, directories, contents):
        for name, node in sorted(directories.get(directory.serial, directory.entries).items()):
            child = os.path.join(path, name)
            self.items.append((child, node, contents.get(node.serial)))
            if node.kind == "d":
                self.Walk(child, node, directories, contents)


def TreeKey(tree):
    return tuple((path, node.serial, node.kind, content) for path, node, content in tree.items)


# ---- building states and running the worker ----------------------------------------------


def Writable(path):
    """Lets us change a directory that the road keeps read-only; returns its mode."""
    mode = stat.S_IMODE(os.lstat(path).st_mode)
    os.chmod(path, mode | stat.S_IRWXU)
    return mode


def Clear(path):
    mode = Writable(path)
    for name in os.listdir(path):
        child = os.path.join(path, name)
        if os.path.isdir(child) and not os.path.islink(child):
            for dirpath, dirnames, _ in os.walk(child):
                for d in dirnames:
                    os.chmod(os.path.join(dirpath, d), 0o700)
            os.chmod(child, 0o700)
            shutil.rmtree(child)
        else:
            os.unlink(child)
    os.chmod(path, mode)


class Road:
    """One recorded save and the place where its states are built."""

    def __init__(self, args, name, words, scratch, setup, warm_up=False, no_tmpfile=False):
        self.args, self.name, self.words = args, name, str(words)
        self.base = os.path.join(scratch, name)
        self.game, self.state = os.path.join(self.base, "game"), os.path.join(self.base, "state")
        self.keep = os.path.join(self.base, "keep")
        for path in (self.base, self.game, self.state, self.keep):
            os.mkdir(path)
        os.chmod(self.base, 0o755)
        self.file = os.path.join(self.game, "len7.txt")
        self.env = dict(os.environ, XDG_STATE_HOME=self.state)
        self.Run(["make", self.file, self.words, "old"], user=False)
        self.names, self.user = setup(self)
        if warm_up:  # a later save: the state directory as the earlier saves left it
            self.Save("new")
            self.Save("old")
        self.Record(no_tmpfile)

    def Run(self, arguments, user=True, **kw):
        command = (self.user if user else []) + [self.args.worker] + arguments
        return subprocess.run(command, env=kw.pop("env", self.env), capture_output=True,
                              **kw)

    def Save(self, words):
        done = self.Run(["save", self.file, self.words, words, os.devnull])
        if done.returncode != 0:
            raise SystemExit(f"{self.name}: the save fails already without a cut: "
                             f"{done.stderr.decode(errors='replace').strip()}")

    def Record(self, no_tmpfile):
        seen = {}
        game, state = Snapshot(self.game, seen), Snapshot(self.state, seen)
        game.name_, state.name_ = self.game, self.state
        self.old = game.entries["len7.txt"].content
        log_path = os.path.join(self.base, "calls.log")
        with open(log_path, "wb") as log:
            env = dict(self.env, POWERCUT_ROOT=os.path.realpath(self.base),
                       POWERCUT_LOG_FD=str(log.fileno()), LD_PRELOAD=self.args.recorder,
                       ASAN_OPTIONS="verify_asan_link_order=0:" + os.environ.get(
                           "ASAN_OPTIONS", ""))
            if no_tmpfile:
                env["POWERCUT_NO_TMPFILE"] = "1"
            done = self.Run(["save", self.file, self.words, "new", os.devnull],
                            env=env, pass_fds=(log.fileno(),))
        if done.returncode != 0:
            raise SystemExit(f"{self.name}: the recorded save failed: "
                             f"{done.stderr.decode(errors='replace').strip()}")
        with open(self.file, "rb") as f:
            self.new = f.read()
        with open(log_path) as log:
            self.replay = Replay([game, state], log.read().splitlines())
        # Files that outlive the save keep their inode numbers in every state.
        alive = {os.lstat(os.path.join(d, n)).st_ino: os.path.join(d, n)
                 for d in (self.game, self.state) for n in Names(d)}
        for node in AllNodes([game, state]):
            if node.kind == "f" and node.ino in alive:
                os.link(alive[node.ino], self.Kept(node))
                node.pinned = True
        Clear(self.game)
        Clear(self.state)

    def Kept(self, node):
        return os.path.join(self.keep, str(node.serial))

    def Build(self, tree):
        modes = {}
        for path in (self.game, self.state):
            modes[path] = Writable(path)
        made, linked_pins = {}, []
        for path, node, content in tree.items:
            if node.kind == "d":
                os.mkdir(path, 0o700)
                modes[path] = node.mode
            elif node.kind == "l":
                os.symlink(node.target, path)
            elif node.serial in made:
                os.link(made[node.serial], path)
            else:
                if node.pinned and os.path.exists(self.Kept(node)):
                    source = self.Kept(node)
                    os.chmod(source, 0o600)
                    linked_pins.append(source)
                else:
                    source = path
                with open(source, "wb") as f:
                    f.write(content)
                self.Own(source, node)
                os.chmod(source, node.mode)
                if source != path:
                    os.link(source, path)
                made[node.serial] = path
        for path, node, _ in tree.items:
            if node.kind == "d":
                self.Own(path, node)
        for source in linked_pins:
            os.unlink(source)
        for path in sorted(modes, key=len, reverse=True):
            os.chmod(path, modes[path])

    @staticmethod
    def Own(path, node):
        if os.geteuid() == 0:
            os.lchown(path, node.uid, node.gid)

    def TakeBackPins(self):
        """After the worker ran: every pinned file back into keep/, or no longer pinned."""
        found = {}
        for top in (self.game, self.state):
            for dirpath, dirnames, filenames in os.walk(top):
                for name in filenames:
                    found.setdefault(os.lstat(os.path.join(dirpath, name)).st_ino,
                                     os.path.join(dirpath, name))
        for node in AllNodes(self.replay.roots):
            if node.pinned and not os.path.exists(self.Kept(node)):
                if node.ino in found:
                    os.link(found[node.ino], self.Kept(node))
                else:
                    node.pinned = False
                    print(f"{self.name}: the next save replaced the file of inode {node.ino};"
                          " later states get a new one", file=sys.stderr)

    def Check(self, tree, final):
        """Builds the state, runs the next load and the next save; returns the faults."""
        self.Build(tree)
        faults = []
        words = self.words
        load = self.Run(["check", self.file, words])
        found = load.stdout.decode(errors="replace").strip()
        wanted = ("new",) if final else ("old", "new")
        if load.returncode != 0 or found not in wanted:
            error = load.stderr.decode(errors="replace").strip()
            faults.append(("lost", f"the load found {found or error!r}" +
                           (" after the save had returned" if final and found == "old" else "")))
        elif len({Read(os.path.join(self.game, n)) for n in self.names}) != 1:
            faults.append(("lost", "the names of the file hold different words"))
        save = self.Run(["save", self.file, words, "new", os.devnull])
        if save.returncode != 0:
            faults.append(("save", "the next save failed: " +
                           save.stderr.decode(errors="replace").strip()))
        elif any(Read(os.path.join(self.game, n)) != self.new for n in self.names):
            faults.append(("save", "the next save did not write the new words"))
        left = [os.path.join("game", n) for n in Names(self.game) if n not in self.names]
        for name in Names(self.state):
            path = os.path.join(self.state, name)
            if name != "kormoszi" or not os.path.isdir(path) or os.listdir(path):
                left.append(os.path.join("state", name))
        if left:
            faults.append(("left", "the next save left " + ", ".join(sorted(left))))
        self.TakeBackPins()
        Clear(self.game)
        Clear(self.state)
        return faults

    def Describe(self, tree):
        parts = {"game": [], "state": []}
        for path, node, content in tree.items:
            top, shown = os.path.relpath(path, self.base).split(os.sep, 1)
            if node.kind == "d":
                parts[top].append(shown + "/")
            elif content is not None:
                parts[top].append(f"{shown}={self.Words(content)}")
        return "; ".join(f"{top}: {' '.join(names) or 'nothing'}" for top, names in parts.items())


    def Words(self, content):
        if not content:
            return "empty"
        if content in (self.old, self.new):
            return "old" if content == self.old else "new"
        for first, then in ((self.new, self.old), (self.old, self.new)):
            cut = len(os.path.commonprefix([content, first]))
            if cut == len(content):
                return f"the first {cut} bytes of the {'new' if first is self.new else 'old'}"
            if 0 < cut and content[cut:] == then[cut:len(content)]:
                return (f"{'new' if first is self.new else 'old'} to byte {cut}, then "
                        f"{'old' if first is self.new else 'new'} ({len(content)} bytes)")
        return f"{len(content)} other bytes"


def Names(path):
    return sorted(os.listdir(path))


def Read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def CallName(change):
    if change.kind in ("write", "size", "sync"):
        return f"{change.kind} of inode {change.node.ino}"
    if change.kind == "syncall":
        return "sync"
    if change.kind == "rename":
        return f"rename of {change.name} to {change.name2}"
    return f"{'new name' if change.kind == 'enter' else 'removal of'} {change.name}"


# ---- the roads ----------------------------------------------------------------------------


def Ordinary(road):
    return ["len7.txt"], []


def HardLinked(road):
    os.link(road.file, os.path.join(road.game, "other.txt"))
    return ["len7.txt", "other.txt"], []


def NoNewFile(road):
    if os.geteuid() == 0:
        # Root may create anywhere: the saves run as an unprivileged user, for whom the
        # directory (root's) takes no file but the file (theirs) is writable.
        os.chown(road.file, 65534, 65534)
        os.chown(road.state, 65534, 65534)
        return ["len7.txt"], ["setpriv", "--reuid", "65534", "--regid", "65534",
                              "--clear-groups", "--"]
    os.chmod(road.game, 0o555)
    return ["len7.txt"], []


# The unnamed temporary file of the ordinary road has no name until it is whole; only the
# named one shows its torn states, and so that road writes more sectors.
ROADS = [
    ("ordinary", 15000, [("unnamed temporary file", Ordinary, {}),
                  ("named temporary file", Ordinary, {"no_tmpfile": True})]),
    ("hard-linked", 3000, [("first save", HardLinked, {}),
                     ("later save", HardLinked, {"warm_up": True})]),
    ("no-new-file", 3000, [("first save", NoNewFile, {}),
                     ("later save", NoNewFile, {"warm_up": True})]),
]


def CheckRoad(args, scratch, road_name, words, saves):
    checked = lost = left = failed_saves = points_run = 0
    bounded = False
    shown = 0
    for number, (label, setup, options) in enumerate(saves):
        road = Road(args, f"{road_name}-{number}", words, scratch, setup, **options)
        replay = road.replay
        if replay.unmodelled:
            print(f"{road_name}: the save used {', '.join(replay.unmodelled)}, which this "
                  "model does not replay", file=sys.stderr)
            return None
        if not any(c.kind == "write" for c in replay.changes):
            print(f"{road_name}: the recorder logged no write of the save: not preloaded?",
                  file=sys.stderr)
            return None
        total = len(replay.changes)
        points = [(count, *replay.States(count)) for count in range(total + 1)]
        if args.sample:  # the cut after the save and the richest one
            richest = sorted(points[:-1], key=lambda p: -len(p[1]))[:1]
            points = sorted(richest, key=lambda p: p[0]) + [points[-1]]
        for count, trees, was_bounded in points:
            bounded |= was_bounded
            points_run += 1
            final = count == total
            where = ("after the save returned" if final else "before the first call"
                     if count == 0 else f"after change {count} of {total} "
                     f"({CallName(replay.changes[count - 1])})")
            for tree in trees:
                checked += 1
                faults = road.Check(tree, final)
                kinds = {kind for kind, _ in faults}
                lost += "lost" in kinds
                left += "left" in kinds
                failed_saves += "save" in kinds
                if faults and shown < args.show:
                    shown += 1
                    print(f"{road_name} ({label}), cut {where}: "
                          f"{'; '.join(text for _, text in faults)}\n"
                          f"    state: {road.Describe(tree)}", file=sys.stderr)
    line = (f"{road_name}: {checked} states checked, {lost} lost or mixed, {left} left files"
            f" ({len(saves)} saves of {words} words, {points_run} cuts")
    if failed_saves:
        line += f", {failed_saves} next saves failed"
    if bounded:
        line += f", some cuts stopped at {STATE_LIMIT} states"
    print(line + ")", flush=True)
    return lost + left + failed_saves == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--worker", required=True)
    parser.add_argument("--recorder", required=True)
    parser.add_argument("--words", type=int, default=None)
    parser.add_argument("--sample", action="store_true",
                        help="two cuts per save on a short list, as the test suite does")
    parser.add_argument("--road", action="append", choices=[r for r, _, _ in ROADS])
    parser.add_argument("--show", type=int, default=5, help="failing states to describe")
    args = parser.parse_args()
    args.worker = os.path.realpath(args.worker)
    args.recorder = os.path.realpath(args.recorder)
    for path in (args.worker, args.recorder):
        if not os.path.exists(path):
            print(f"no {path}: build first (cmake --build --preset release)", file=sys.stderr)
            return 77
    # A file system in memory, where the worker's own syncs cost nothing; states are
    # built from the log, not from what this one keeps.
    shm = "/dev/shm" if os.access("/dev/shm", os.W_OK | os.X_OK) else None
    scratch = tempfile.mkdtemp(prefix="kormoszi-powercut-", dir=shm)
    os.chmod(scratch, 0o755)
    # The unprivileged road runs the worker as another user, who may not reach a build
    # below a private home (a clone in /root): it runs copies that everybody may read.
    programs = os.path.join(scratch, "programs")
    os.mkdir(programs)
    os.chmod(programs, 0o755)
    for name in ("worker", "recorder"):
        copy = os.path.join(programs, os.path.basename(getattr(args, name)))
        shutil.copy2(getattr(args, name), copy)
        os.chmod(copy, 0o755)
        setattr(args, name, copy)
    start = time.monotonic()
    results = []
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # still clears the scratch tree
    try:
        for road_name, words, saves in ROADS:
            if args.road and road_name not in args.road:
                continue
            if road_name == "no-new-file" and os.geteuid() == 0 and not shutil.which("setpriv"):
                print(f"{road_name}: skipped, no setpriv to drop root")
                continue
            words = args.words or (300 if args.sample else words)
            results.append(CheckRoad(args, scratch, road_name, words, saves))
    finally:
        for dirpath, dirnames, _ in os.walk(scratch):
            for d in dirnames:
                os.chmod(os.path.join(dirpath, d), 0o755)
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"power cuts: {time.monotonic() - start:.1f} s")
    if not results:
        return 77
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
