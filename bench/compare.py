#!/usr/bin/python3
"""Runs the imaging benchmarks of quorbench and the same sizes through OpenCV and Pillow, and
prints our time over theirs.

Usage: bench/compare.py [BUILD_DIR]      (default build/x64; needs quorbench.exe built there)

OpenCV and Pillow come from Debian (apt-get install python3-opencv python3-pil); the script uses
the system Python, where those packages live. Measuring takes the machine-wide build lock, so that
no build competes for the processors meanwhile.

Pairs compared (ours / theirs; below 1 means we are faster):
  blur      JBlur, both directions, radius r      cv2.blur on float32, kernel 2r+1 (default threads)
  blur(1t)  the same                              cv2.blur with one thread
  resize    JCopyFit, 24-bit                      cv2.resize INTER_NEAREST with one thread
  overlay   Overlay at (0.5, 0.5), all processors PIL.Image.alpha_composite, RGBA 8-bit
  glow      the glow sample's Render on a 1920x1080  the same pipeline in OpenCV on 8-bit RGB: grey,
            host bitmap (16 bits a channel): mask     threshold (saturating subtract), float, box blur
            above the threshold, JBlur, gradient     2r+1 with replicated edges, scale to 8 bits,
            table, saturating add                    3-channel LUT, saturating add
"""
import fcntl
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def need_libraries():
    try:
        import cv2  # noqa: F401
        import numpy  # noqa: F401
        from PIL import Image  # noqa: F401
        return True
    except ImportError:
        system = "/usr/bin/python3"
        if os.path.exists(system) and os.path.realpath(sys.executable) != os.path.realpath(system):
            os.execv(system, [system] + sys.argv)
        return False


def best_seconds(f):
    """Best time of one call over five rounds of at least 50 ms, as quorbench measures."""
    best = 1e30
    for _ in range(5):
        reps = 0
        start = time.perf_counter()
        while True:
            f()
            reps += 1
            elapsed = time.perf_counter() - start
            if elapsed >= 0.05:
                break
        best = min(best, elapsed / reps)
    return best


def run_quorbench(build):
    exe = os.path.join(build, "bin", "quorbench.exe")
    if not os.path.exists(exe):
        sys.exit("compare.py: %s not found; build first (scripts/build.sh x64)" % exe)
    times = {}
    for group in ("blur", "overlay", "copyfit", "glow"):
        out = subprocess.run(["bash", os.path.join(ROOT, "scripts", "wine-run.sh"), build, exe, "--machine", group],
                             check=True, capture_output=True, text=True).stdout
        for line in out.splitlines():
            parts = line.split()
            if len(parts) == 2:
                times[parts[0]] = float(parts[1])
    return times


def run_theirs():
    import cv2
    import numpy as np
    from PIL import Image

    rng = np.random.default_rng(1)
    theirs = {}
    for w, h in ((1920, 1080), (4096, 4096)):
        mask = rng.random((h, w), dtype=np.float32)
        for r in (1, 5, 25, 100):
            k = 2 * r + 1
            cv2.setNumThreads(-1)
            theirs["blur/%dx%d/r%d" % (w, h, r)] = best_seconds(lambda: cv2.blur(mask, (k, k)))
            cv2.setNumThreads(1)
            theirs["blur1t/%dx%d/r%d" % (w, h, r)] = best_seconds(lambda: cv2.blur(mask, (k, k)))
        a = Image.fromarray(rng.integers(0, 256, (h, w, 4), dtype=np.uint8), "RGBA")
        b = Image.fromarray(rng.integers(0, 256, (h, w, 4), dtype=np.uint8), "RGBA")
        theirs["overlay/%dx%d" % (w, h)] = best_seconds(lambda: Image.alpha_composite(a, b))
    cv2.setNumThreads(1)
    big = rng.integers(0, 256, (1080, 1920, 3), dtype=np.uint8)
    small = rng.integers(0, 256, (360, 640, 3), dtype=np.uint8)
    theirs["copyfit/down"] = best_seconds(lambda: cv2.resize(big, (640, 360), interpolation=cv2.INTER_NEAREST))
    theirs["copyfit/up"] = best_seconds(lambda: cv2.resize(small, (1920, 1080), interpolation=cv2.INTER_NEAREST))
    cv2.setNumThreads(-1)
    theirs.update(run_glow(cv2, np, rng))
    return theirs


# The glow's settings in quorbench: radius 12 pixels, threshold 60 %.
GLOW_RADIUS = 12
GLOW_THRESHOLD = 0.6


def run_glow(cv2, np, rng):
    img = rng.integers(0, 256, (1080, 1920, 3), dtype=np.uint8)
    t = int(GLOW_THRESHOLD * 255 + 0.5)
    k = 2 * GLOW_RADIUS + 1
    lut = rng.integers(0, 256, (256, 1, 3), dtype=np.uint8)

    def glow():
        grey = cv2.cvtColor(img, cv2.COLOR_RGB2GRAY)
        above = cv2.subtract(grey, t)
        mask = cv2.blur(above.astype(np.float32), (k, k), borderType=cv2.BORDER_REPLICATE)
        level = cv2.convertScaleAbs(mask, alpha=255.0 / (255 - t))
        added = cv2.LUT(cv2.cvtColor(level, cv2.COLOR_GRAY2RGB), lut)
        return cv2.add(img, added)

    out = {}
    for threads, key in ((-1, "glow/1920x1080"), (1, "glow1t/1920x1080")):
        cv2.setNumThreads(threads)
        out[key] = best_seconds(glow)
    cv2.setNumThreads(-1)
    return out


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "x64"))
    have_libraries = need_libraries()
    with open("/tmp/quorlib-build.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        ours = run_quorbench(build)
        theirs = run_theirs() if have_libraries else {}
    if not have_libraries:
        print("OpenCV or Pillow missing (apt-get install python3-opencv python3-pil): our figures only")

    ms = lambda s: "%9.3f" % (s * 1e3)
    print("%-28s %9s %9s %9s %9s" % ("benchmark", "ours ms", "memcpy", "theirs", "ours/them"))
    for w, h in ((1920, 1080), (4096, 4096)):
        base = ours["memcpy/blur/%dx%d" % (w, h)]
        for r in (1, 5, 25, 100):
            key = "blur/%dx%d/r%d" % (w, h, r)
            mine = ours[key]
            for label, other in (("", key), (" (1t)", "blur1t/%dx%d/r%d" % (w, h, r))):
                t = theirs.get(other)
                print("%-28s %s %s %s %9s" % ("JBlur %dx%d r=%d%s" % (w, h, r, label), ms(mine), ms(base),
                                              ms(t) if t else "      -", "%.2f" % (mine / t) if t else "-"))
    startup = ours["overlay/startup"]
    print("%-28s %s" % ("Overlay thread start-up", ms(startup)))
    for w, h in ((1920, 1080), (4096, 4096)):
        all_, one = ours["overlay/%dx%d/all" % (w, h)], ours["overlay/%dx%d/one" % (w, h)]
        base = ours["memcpy/overlay/%dx%d" % (w, h)]
        t = theirs.get("overlay/%dx%d" % (w, h))
        print("%-28s %s %s %s %9s" % ("Overlay %dx%d all" % (w, h), ms(all_), ms(base), ms(t) if t else "      -",
                                      "%.2f" % (all_ / t) if t else "-"))
        print("%-28s %s %s %9s %9s   speed-up %.2f, %.2f without start-up" % (
            "Overlay %dx%d one" % (w, h), ms(one), ms(base), "", "", one / all_,
            (one - startup) / max(all_ - startup, 1e-9)))
    for case, label in (("down", "1920x1080 -> 640x360"), ("up", "640x360 -> 1920x1080")):
        mine, base = ours["copyfit/" + case], ours["memcpy/copyfit/" + case]
        t = theirs.get("copyfit/" + case)
        print("%-28s %s %s %s %9s" % ("JCopyFit " + label, ms(mine), ms(base), ms(t) if t else "      -",
                                      "%.2f" % (mine / t) if t else "-"))
    mine, base = ours.get("glow/1920x1080"), ours.get("memcpy/glow/1920x1080")
    if mine is not None:
        for label, other in (("", "glow/1920x1080"), (" (1t)", "glow1t/1920x1080")):
            t = theirs.get(other)
            print("%-28s %s %s %s %9s" % ("Glow 1920x1080" + label, ms(mine), ms(base), ms(t) if t else "      -",
                                          "%.2f" % (mine / t) if t else "-"))


if __name__ == "__main__":
    main()
