"""The typed program that the type check reads also runs."""

import typed_usage


def test_the_typed_program_runs(tmp_path):
    typed_usage.main(tmp_path)
