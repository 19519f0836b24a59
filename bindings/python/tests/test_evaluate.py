"""segmora.evaluate(): the library's measures to the last bit on the sample photos, label
maps of every integer kind, the refusals, and the examples of docs/evaluation.md."""

import csv
import os
import re
import subprocess

import numpy as np
import pytest
from PIL import Image

from conftest import GOLDEN, SAMPLES
import segmora

REFERENCE = os.environ["SEGMORA_EVALUATION_REFERENCE"]


def library(photo, truth_files, tolerance, ignore_zero):
    out = subprocess.run([REFERENCE, photo, str(tolerance), str(int(ignore_zero)), *truth_files],
                         check=True, capture_output=True, text=True).stdout
    return {name: float(value) for name, value in (line.split() for line in out.splitlines())}


@pytest.mark.parametrize("name", ["chelsea", "coffee"])
def test_the_library_scores_alike_to_the_last_bit(name, photos, tmp_path):
    rgb = photos[name]
    regions_file = os.path.join(GOLDEN, "regions", name + ".txt")
    regions = np.loadtxt(regions_file, dtype=np.int64)
    coarse, _ = segmora.segment(rgb, threshold=3000, cap_divisor=50)
    coarse_file = tmp_path / "coarse.txt"
    np.savetxt(coarse_file, coarse - 1, fmt="%d")  # label 0 where the first segment is
    labels, count = segmora.segment(rgb)
    for tolerance, ignore_zero in [(2, False), (0, True), (5, False)]:
        expected = library(os.path.join(SAMPLES, name + ".png"),
                           [regions_file, str(coarse_file)], tolerance, ignore_zero)
        got = segmora.evaluate(labels, [regions, coarse - 1], rgb, tolerance=tolerance,
                               ignore_zero=ignore_zero)
        assert got == expected
        assert got["count"] == count and got["truths"] == 2
        assert 0 < got["boundary_recall"] < 1 and 0 < got["explained_variation"] < 1


def test_label_kinds_and_layouts_score_alike(photos):
    rgb = photos["gravel"]
    labels, _ = segmora.segment(rgb, threshold=800)
    truth, _ = segmora.segment(rgb, threshold=5000, cap_divisor=20)
    plain = segmora.evaluate(labels, truth, rgb)
    for kind in [np.uint16, np.int64, np.uint64, np.float64, np.int32]:
        assert segmora.evaluate(labels.astype(kind), [np.asfortranarray(truth.astype(kind))],
                                rgb) == plain
    assert segmora.evaluate(labels[:, ::-1].copy()[:, ::-1], (truth,), rgb) == plain
    assert segmora.evaluate(labels, truth, rgb.astype(np.float64) / 255) == plain
    no_photo = segmora.evaluate(labels, truth)
    assert np.isnan(no_photo["explained_variation"])
    assert no_photo["boundary_recall"] == plain["boundary_recall"]


def test_refusals_name_the_argument():
    labels = np.ones((4, 5), np.int32)
    cases = [
        (lambda: segmora.evaluate(labels, labels[:, 1:]), ValueError, "truth must have shape"),
        (lambda: segmora.evaluate(labels, [labels, labels[1:]]), ValueError, "truths[1]"),
        (lambda: segmora.evaluate(labels, labels, tolerance=1.5), ValueError, "tolerance"),
        (lambda: segmora.evaluate(labels, labels, tolerance=True), TypeError, "tolerance"),
        (lambda: segmora.evaluate(labels, labels, rgb=np.zeros((4, 4, 3), np.uint8)),
         ValueError, "rgb must have shape (4, 5)"),
        (lambda: segmora.evaluate(labels.astype(complex), labels), TypeError, "labels must hold"),
        (lambda: segmora.evaluate(labels[None], labels), ValueError, "two-dimensional"),
        (lambda: segmora.evaluate(labels, np.full((4, 5), 2.0 ** 40)), ValueError, "int32"),
    ]
    for call, error, words in cases:
        with pytest.raises(error, match=None) as raised:
            call()
        assert words in str(raised.value)


def test_the_examples_of_the_evaluation_docs_run(photos, tmp_path, monkeypatch, capsys):
    """The Python example of docs/evaluation.md prints what the page says; its sweep command,
    run with the built program, writes rows that are segmora.evaluate of the same photos."""
    docs = os.path.join(os.environ["SEGMORA_SOURCE"], "docs", "evaluation.md")
    with open(docs) as f:
        text = f.read()
    os.symlink(os.path.abspath(SAMPLES), tmp_path / "samples")
    monkeypatch.chdir(tmp_path)
    for block in re.findall(r"^```python\n(.*?)^```$", text, re.S | re.M):
        exec(compile(block, docs, "exec"), {})
    assert capsys.readouterr().out == "802 0.9468 0.0325\n"

    (command,) = re.findall(r"^```sh\n(.*?)^```$", text, re.S | re.M)
    bin_dir = os.path.dirname(os.environ["SEGMORA_PROGRAM"])
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])
    subprocess.run(["sh", "-c", command], check=True, env=env, capture_output=True)
    with open(tmp_path / "sweep-out" / "sweep.csv") as f:
        rows = list(csv.DictReader(f))
    assert len(rows) == 18
    for row in rows[::4]:
        rgb = photos[row["photo"]]
        truths = [np.asarray(Image.open(f"samples/truths/{row['photo']}_{k}.png")) for k in (1, 2)]
        labels, count = segmora.segment(rgb, threshold=float(row["threshold"]),
                                        cap_divisor=int(row["cap_divisor"]))
        scores = segmora.evaluate(labels, truths, rgb)
        for name, value in scores.items():
            assert float(row[name]) == value, name
