"""Every Python example of docs/python.md runs as written, in order, from a folder that
holds the samples."""

import os
import re

from conftest import SAMPLES

DOCS = os.path.join(os.environ["SEGMORA_SOURCE"], "docs", "python.md")


def test_every_example_in_the_docs_runs(tmp_path, monkeypatch, capsys):
    with open(DOCS) as f:
        blocks = re.findall(r"^```python\n(.*?)^```$", f.read(), re.S | re.M)
    assert len(blocks) >= 6
    os.symlink(os.path.abspath(SAMPLES), tmp_path / "samples")
    monkeypatch.chdir(tmp_path)
    session = {}
    for block in blocks:
        exec(compile(block, DOCS, "exec"), session)
    printed = capsys.readouterr().out
    assert printed.startswith("802 (300, 451) int32\n")
    assert "segment() got an unexpected keyword argument 'scale'" in printed
    assert (tmp_path / "coffee-boundaries.png").stat().st_size > 0
