"""The sample master's extra load for the benchmarks: 2,000 small text files in 40 folders and 20
large incompressible ones (2 and 4 MiB), the same bytes on every run.

    python3 bench/bench_master.py FOLDER
"""
import os, random, sys
root = sys.argv[1]
rnd = random.Random(9100)
for i in range(2000):
    d = os.path.join(root, "small", "%02d" % (i % 40))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "item %04d.txt" % i), "w") as f:
        f.write("".join("row %d %d\n" % (k, rnd.randrange(10**6)) for k in range(rnd.randrange(5, 200))))
os.makedirs(os.path.join(root, "large"), exist_ok=True)
for i in range(20):
    with open(os.path.join(root, "large", "blob %02d.bin" % i), "wb") as f:
        f.write(rnd.randbytes(4 * 1024 * 1024 if i % 2 else 2 * 1024 * 1024))
