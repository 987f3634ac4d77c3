#!/usr/bin/env python3
"""Keeps changing a tree while a scan walks it, for a given time.

usage: churn.py ROOT SAMPLES SECONDS SEED

ROOT is changed in every way a live disk changes under a scan: files come
and go, grow and shrink, turn into folders and back; folders are renamed
away; a sample takes the place of a clean file and the other way round;
links back up the tree appear and vanish; chains of folders deep enough to
reach the path limit are built and torn down. SAMPLES holds the samples
(sample*.exe) and the near misses (near/) the new files are copied from.
Prints how many changes of each kind it made.
"""
import collections
import os
import random
import shutil
import sys
import time

FOLDERS = 12          # the top folders changes happen in
DEEP_NAME = "d" * 40  # a chain of these reaches the path limit in a few steps
DEEP_LEVELS = 7


def files_in(root):
    found = []
    for folder, _, names in os.walk(root):
        found.extend(os.path.join(folder, name) for name in names)
    return found


def folders_in(root):
    return [os.path.join(root, name) for name in os.listdir(root) if os.path.isdir(os.path.join(root, name))]


def remove(path):
    if os.path.islink(path) or os.path.isfile(path):
        os.unlink(path)
    elif os.path.isdir(path):
        shutil.rmtree(path, ignore_errors=True)


class Churn:
    def __init__(self, root, samples, seed):
        self.root = root
        self.rng = random.Random(seed)
        self.samples = sorted(os.path.join(samples, n) for n in os.listdir(samples) if n.startswith("sample"))
        near = os.path.join(samples, "near")
        self.near = sorted(os.path.join(near, n) for n in os.listdir(near))
        self.counts = collections.Counter()
        self.serial = 0

    def folder(self):
        return os.path.join(self.root, "c%02d" % self.rng.randrange(FOLDERS))

    def new_name(self, extension):
        self.serial += 1
        return "n%06d%s" % (self.serial, extension)

    def some_file(self):
        candidates = files_in(self.folder())
        return self.rng.choice(candidates) if candidates else None

    def create(self):
        folder = self.folder()
        os.makedirs(folder, exist_ok=True)
        kind = self.rng.randrange(4)
        path = os.path.join(folder, self.new_name([".txt", ".bin", ".exe", ".exe"][kind]))
        if kind == 0:
            with open(path, "w") as out:
                out.write("text\n" * self.rng.randrange(50))
        elif kind == 1:
            with open(path, "wb") as out:
                out.write(os.urandom(self.rng.randrange(4096)))
        else:
            shutil.copy(self.rng.choice(self.near if kind == 2 else self.samples), path)

    def delete(self):
        path = self.some_file()
        if path:
            remove(path)

    def resize(self):
        path = self.some_file()
        if path and not os.path.islink(path):
            with open(path, "r+b") as out:
                if self.rng.randrange(2):
                    out.truncate(self.rng.randrange(max(1, os.path.getsize(path))))
                else:
                    out.seek(0, os.SEEK_END)
                    out.write(os.urandom(self.rng.randrange(1, 70000)))

    def file_to_folder(self):
        path = self.some_file()
        if path:
            remove(path)
            os.mkdir(path)
            self.counts["folder in a file's place"] += 1

    def folder_to_file(self):
        folder = self.folder()
        if os.path.isdir(folder):
            subfolders = folders_in(folder)
            if subfolders:
                victim = self.rng.choice(subfolders)
                remove(victim)
                shutil.copy(self.rng.choice(self.samples), victim)

    def rename_folder(self):
        folder = self.folder()
        if os.path.isdir(folder):
            os.rename(folder, os.path.join(self.root, "moved%06d" % self.serial))
            self.serial += 1
            for moved in [n for n in os.listdir(self.root) if n.startswith("moved")][:-3]:
                remove(os.path.join(self.root, moved))

    def swap(self):
        path = self.some_file()
        if path:
            spare = path + ".swap"
            shutil.copy(self.rng.choice(self.samples + self.near), spare)
            os.replace(spare, path)

    def link_up(self):
        folder = self.folder()
        os.makedirs(folder, exist_ok=True)
        link = os.path.join(folder, "up")
        if os.path.lexists(link):
            os.unlink(link)
        else:
            os.symlink("..", link)

    def deep_chain(self):
        top = os.path.join(self.folder(), "deep")
        if os.path.lexists(top):
            remove(top)
            return
        path = top
        for level in range(DEEP_LEVELS):
            path = os.path.join(path, DEEP_NAME)
            os.makedirs(path, exist_ok=True)
            shutil.copy(self.samples[level % len(self.samples)], os.path.join(path, "s.exe"))

    def step(self):
        changes = [self.create, self.create, self.delete, self.resize, self.file_to_folder, self.folder_to_file,
                   self.rename_folder, self.swap, self.link_up, self.deep_chain]
        change = self.rng.choice(changes)
        try:
            change()
        except OSError:
            # The scan removed or renamed what this change was about: the
            # race is the point, so it is counted, not fatal.
            self.counts["raced with the scan"] += 1
        self.counts[change.__name__] += 1


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    root, samples, seconds, seed = sys.argv[1], sys.argv[2], float(sys.argv[3]), int(sys.argv[4])
    churn = Churn(root, samples, seed)
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        churn.step()
        time.sleep(0.002)  # leaves the scan a share of a busy machine
    for name, count in sorted(churn.counts.items()):
        print("%s: %d" % (name, count))


if __name__ == "__main__":
    main()
