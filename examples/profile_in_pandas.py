#!/usr/bin/python3
# %% [markdown]
# # The sample profile in pandas
#
# Loads examples/sample_profile.json (the layout of `vexa-package profile dump`) into a
# pandas data frame, one row per sample, and prints where the run spent its cycles: its
# length on the device timeline and the kernels that kept the tiles busy longest. Run it as
# a script (`python3 examples/profile_in_pandas.py`) or cell by cell in a notebook.

# %%
import json
from pathlib import Path

import vexa_package as vp

SAMPLE = Path(__file__).resolve().parent / "sample_profile.json"


def report_from_json(path: Path) -> vp.ProfileReport:
    """The report in a JSON file of the tool's layout, as records."""
    document = json.loads(path.read_text(encoding="utf-8"))

    def step(fields: dict) -> vp.ProfileStep:
        return vp.ProfileStep(**{
            **fields,
            "kind": vp.ProfileStepKind[fields["kind"]],
            "metadata": [vp.ProfileMetadata(**entry) for entry in fields["metadata"]],
        })

    return vp.ProfileReport(clock_hz=document["clock_hz"], tiles=[
        vp.TileProfile(physical_tile=tile["physical_tile"], samples=[
            vp.CycleSample(step=step(sample["step"]), start_cycle=sample["start_cycle"],
                           end_cycle=sample["end_cycle"])
            for sample in tile["samples"]])
        for tile in document["tiles"]])


# %% [markdown]
# A stored report is read straight into arrays with `vp.ProfileReport.read_samples(path)`;
# from records, `report.samples()` gives the same arrays.

# %%
samples = report_from_json(SAMPLE).samples()
frame = samples.to_pandas()
print(f"{len(frame)} samples on {frame['physical_tile'].nunique()} tiles, "
      f"{samples.span.cycles} cycles = {samples.span.cycles / samples.clock_hz * 1e3:.3f} ms "
      f"on the device timeline")
for kind, anomaly in samples.anomalies.items():
    print(f"timeline: {anomaly.count} samples {kind}, the first on tile "
          f"{anomaly.physical_tile}, sample {anomaly.sample_index}")

# %% [markdown]
# The kernels that kept the tiles busy longest, in cycles summed over the tiles and as a share
# of all busy cycles (idle steps run no kernel).

# %%
busy = frame[frame["kind"] != "Idle"]
top = (busy.groupby("kernel", observed=True)
       .agg(samples=("duration", "size"), cycles=("duration", "sum"))
       .sort_values("cycles", ascending=False))
top["share"] = top["cycles"] / top["cycles"].sum()
print(top.head(5).to_string(formatters={"share": "{:.1%}".format}))
