"""What users of other imaging libraries do by habit: photo paths, 12-bit data in 16 bits,
0-based labels, the (labels, count) pair where labels go, knobs by position; and the stub
that editors read, which holds the same help as help()."""

import ast
import inspect
import os
import pathlib
import subprocess
import warnings

import numpy as np
import pytest

import segmora
from conftest import PROGRAM, SAMPLES, write_png

CHELSEA = os.path.join(SAMPLES, "chelsea.png")
STUB = os.path.join(os.path.dirname(segmora.__file__), "__init__.pyi")


def program_run(photo, scratch, *options):
    csv = os.path.join(scratch, "labels.csv")
    run = subprocess.run([PROGRAM, "-i", str(photo), "-o", csv, *options], check=True,
                         capture_output=True, text=True)
    count = int(run.stdout.split("Super-pixel num:")[1].split()[0])
    return np.loadtxt(csv, delimiter=",", dtype=np.int32, ndmin=2), count


def test_a_path_in_any_form_gives_the_programs_labels(tmp_path):
    expected, count = program_run(CHELSEA, tmp_path)
    for path in (CHELSEA, pathlib.Path(CHELSEA), os.fsencode(CHELSEA)):
        labels, again = segmora.segment(path)
        assert again == count
        np.testing.assert_array_equal(labels, expected)
    picture = segmora.boundaries(CHELSEA, expected)
    assert picture.shape == expected.shape + (3,)
    with pytest.raises(OSError, match="missing.png"):
        segmora.segment(str(tmp_path / "missing.png"))
    with pytest.raises(OSError, match="directory"):
        segmora.segment(tmp_path)


def twelve_bit_photo(photos):
    """Chelsea as 12-bit data stored in 16-bit samples, with low bits of its own."""
    rgb = photos["chelsea"].astype(np.uint16)
    return rgb * 16 + np.random.default_rng(3).integers(0, 16, rgb.shape, dtype=np.uint16)


def test_a_bit_depth_gives_the_programs_labels_for_the_same_option(photos, tmp_path):
    data = twelve_bit_photo(photos)
    path = tmp_path / "twelve.png"
    write_png(path, data)
    expected, count = program_run(path, tmp_path, "--bit-depth", "12")
    np.testing.assert_array_equal(expected, program_run(CHELSEA, tmp_path)[0])
    for rgb in (data, path):
        labels, again = segmora.segment(rgb, bit_depth=12)
        assert again == count
        np.testing.assert_array_equal(labels, expected)
    # 16 is the default: the high byte, as the program reads the file without the option.
    with pytest.warns(UserWarning, match=r"up to \d{4}: .* 15 grey levels at most.*bit_depth=12"):
        high_byte, _ = segmora.segment(data, bit_depth=16)
    np.testing.assert_array_equal(high_byte, program_run(path, tmp_path)[0])
    # Data above its declared bits saturates instead of wrapping round.
    assert segmora.segment(np.full((4, 4), 65535, np.uint16), bit_depth=9)[1] == 1


def test_full_16_bit_data_and_other_kinds_get_no_warning(photos):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        segmora.segment(photos["chelsea"].astype(np.uint16) * 257)
        segmora.segment(photos["chelsea"], bit_depth=12)
        segmora.segment(np.zeros((8, 8), np.uint16))


@pytest.mark.parametrize("value, error", [(7, ValueError), (17, ValueError), (12.0, TypeError),
                                          (True, TypeError), ("12", TypeError)])
def test_bad_bit_depths_are_refused(value, error):
    with pytest.raises(error, match="bit_depth must be a whole number from 8 to 16"):
        segmora.segment(np.zeros((4, 4), np.uint16), bit_depth=value)


def test_the_pair_segment_returns_is_refused_where_labels_go(photos):
    rgb = photos["chelsea"][:40, :60]
    pair = segmora.segment(rgb)
    for call in (lambda: segmora.boundaries(rgb, pair), lambda: segmora.graph(pair),
                 lambda: segmora.mean_picture(pair, rgb), lambda: segmora.evaluate(pair, pair[0]),
                 lambda: segmora.segment(rgb, pair)):
        with pytest.raises(TypeError, match=r"\(labels, count\) pair.*labels, count = "):
            call()


@pytest.mark.parametrize("knob", [300, 0.5, np.float32(2), np.array(7)])
def test_a_knob_given_by_position_is_named_as_such(knob):
    with pytest.raises(TypeError, match=r"not the number .*keywords.*threshold="):
        segmora.segment(np.zeros((4, 4, 3), np.uint8), knob)


def test_zero_based_labels_keep_segment_zero_with_background_none(photos):
    rgb = photos["chelsea"][:60, :80]
    labels = segmora.segment(rgb)[0] - 1
    g = segmora.graph(labels, rgb, background=None)
    shifted = segmora.graph(labels + 1, rgb)
    assert g.count == shifted.count and g.size.sum() == labels.size
    for name in ("size", "centroid", "bbox", "mean_color", "border"):
        np.testing.assert_array_equal(getattr(g, name), getattr(shifted, name))
    np.testing.assert_array_equal(g.edges, shifted.edges - 1)
    assert g.edges.min() == 0
    np.testing.assert_array_equal(segmora.mean_picture(labels.astype(np.uint8), rgb,
                                                       background=None),
                                  segmora.mean_picture(labels + 1, rgb))


def test_label_zero_warns_unless_the_caller_says_what_it_is(photos):
    rgb = photos["chelsea"][:60, :80]
    labels = segmora.segment(rgb)[0] - 1
    zeros = int((labels == 0).sum())
    for call in (lambda: segmora.graph(labels), lambda: segmora.mean_picture(labels, rgb)):
        with pytest.warns(UserWarning, match=f"label 0 covers {zeros} of 4800 pixels.*"
                                             "background=None"):
            call()
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        segmora.graph(labels, background=0)
        segmora.graph(labels + 1)
    with pytest.raises(ValueError, match="background must be 0 or None"):
        segmora.graph(labels, background=1)


def stub_functions():
    with open(STUB, encoding="utf-8") as f:
        tree = ast.parse(f.read())
    return {node.name: node for node in tree.body
            if isinstance(node, (ast.FunctionDef, ast.ClassDef))}


def test_the_stub_documents_and_lists_exactly_the_api():
    functions = stub_functions()
    public = [name for name in segmora.__all__ if name != "__version__"]
    assert sorted(name for name in functions if not name.startswith("_")) == sorted(public)
    for name in public:
        text = ast.get_docstring(functions[name], clean=False)
        assert text and len(text) > 40, name
        if name != "Graph":
            assert getattr(segmora, name).__doc__ == text
    assert segmora.Segmenter.segment.__doc__ == segmora.segment.__doc__
    assert not {"np", "npt", "inspect", "operator", "os"} & set(dir(segmora))
    assert "License: Apache-2.0" in open(os.path.join(os.environ["SEGMORA_SOURCE"],
                                                      "pyproject.toml")).read().replace(
        'license = {text = "', "License: ")


def test_the_stubs_defaults_are_the_functions():
    functions = stub_functions()
    for name in ("segment", "graph", "mean_picture", "boundaries", "evaluate"):
        stub = functions[name].args
        written = dict(zip([a.arg for a in stub.args][::-1], stub.defaults[::-1]))
        written.update({a.arg: d for a, d in zip(stub.kwonlyargs, stub.kw_defaults) if d})
        actual = inspect.signature(getattr(segmora, name)).parameters
        assert set(written) == {p for p in actual if actual[p].default is not inspect._empty}
        for parameter, default in written.items():
            assert ast.literal_eval(default) == actual[parameter].default, (name, parameter)
