#!/usr/bin/env python3
"""Time to depth of a parallel search: each position searched to a fixed
depth with one thread and with N threads (a new game and an empty table
before every search), in turn, so that both see nearly the same load.

    tools/time_to_depth.py ENGINE DEPTH THREADS [EPD] [COUNT]

Prints per position the seconds and nodes of both, then the ratio of the
total times (N threads over one: below 1 is faster) and of the node rates.
"""
import subprocess
import sys
import time

DEFAULT_FENS = [
    "r1bqkb1r/pp1ppppp/2n2n2/8/3NP3/2N5/PPP2PPP/R1BQKB1R b KQkq -",
    "1r1qbr1k/4bp1p/p3p2Q/3pP3/2pP4/P1N1PN2/1PR2RP1/6K1 b - -",
    "r2r2k1/5pp1/2bPp3/p1N4p/1qQ5/2P2P2/BP4PP/1K1R4 b - -",
    "5r1k/5rp1/p1n1p1qp/2P1p3/P7/4QN1P/5PP1/2R1R2K w - -",
    "2r3k1/1pq1b1p1/p1b1pr1p/8/PP2pP2/2P1B3/4B1PP/RQR4K w - -",
    "r2r2k1/6bp/1P2q1p1/4pp2/p1N5/2Q5/PPR3PP/4R2K b - -",
]


class Engine:
    def __init__(self, path, threads):
        self.p = subprocess.Popen([path], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.send("uci")
        self.wait("uciok")
        self.send(f"setoption name Threads value {threads}")
        self.send("setoption name Hash value 64")

    def send(self, line):
        self.p.stdin.write(line + "\n")

    def wait(self, prefix):
        lines = []
        while True:
            line = self.p.stdout.readline()
            if not line:
                raise RuntimeError("engine ended")
            lines.append(line.strip())
            if line.startswith(prefix):
                return lines

    def search(self, fen, depth):
        self.send("ucinewgame")
        self.send("position fen " + fen)
        self.send("isready")
        self.wait("readyok")
        start = time.monotonic()
        self.send(f"go depth {depth}")
        lines = self.wait("bestmove")
        seconds = time.monotonic() - start
        nodes = 0
        for line in lines:
            words = line.split()
            if "nodes" in words:
                nodes = int(words[words.index("nodes") + 1])
        return seconds, nodes

    def close(self):
        self.send("quit")
        self.p.wait()


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    engine, depth, threads = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    fens = DEFAULT_FENS
    if len(sys.argv) > 4:
        with open(sys.argv[4]) as f:
            fens = [" ".join(l.split()[:4]) for l in f if l.strip()]
    if len(sys.argv) > 5:
        fens = fens[: int(sys.argv[5])]
    one, many = Engine(engine, 1), Engine(engine, threads)
    totals = [0.0, 0.0, 0, 0]
    for i, fen in enumerate(fens):
        # Alternate which goes first.
        if i % 2 == 0:
            t1, n1 = one.search(fen, depth)
            tn, nn = many.search(fen, depth)
        else:
            tn, nn = many.search(fen, depth)
            t1, n1 = one.search(fen, depth)
        totals[0] += t1
        totals[1] += tn
        totals[2] += n1
        totals[3] += nn
        print(f"{i + 1:3d}  1 thread {t1:7.2f} s {n1:10d} nodes   {threads} threads {tn:7.2f} s {nn:10d} nodes", flush=True)
    one.close()
    many.close()
    t1, tn, n1, nn = totals
    print(f"time to depth {depth}: {threads} threads / 1 thread = {tn / t1:.3f}")
    print(f"nodes a second: {threads} threads / 1 thread = {(nn / tn) / (n1 / t1):.3f}")
    print(f"nodes to depth: {threads} threads / 1 thread = {nn / n1:.3f}")


if __name__ == "__main__":
    main()
