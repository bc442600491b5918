#!/usr/bin/python3
"""Writes sample_profile.json: a made-up profile of the sample application on six tiles.

The run loads the weights, runs the prefill and then 64 decode steps; every tile records
exchange, compute, synchronisation and idle steps. The cycle counters start 1,000,000 cycles
before they wrap, so the run crosses the wrap of the 32-bit counter, and on every tile one
step runs across it. The output is the same on every run: python3 examples/make_sample_profile.py
"""

import json
import random
import sys
from pathlib import Path

CLOCK_HZ = 1_200_000_000
TILES = [0, 1, 2, 3, 8, 9]
DECODE_STEPS = 64
COUNTER = 1 << 32
FIRST_CYCLE = COUNTER - 1_000_000


class Tile:
    def __init__(self, number, rng):
        self.number = number
        self.rng = rng
        self.cycle = FIRST_CYCLE + rng.randrange(0, 400)
        self.samples = []

    def step(self, kind, operation, kernel, cycles, phase, epoch, metadata=()):
        start = self.cycle
        end = start + cycles
        self.samples.append({
            "step": {
                "local_index": len(self.samples),
                "phase": phase,
                "epoch": epoch,
                "operation": operation,
                "kind": kind,
                "kernel": kernel,
                "metadata": [{"name": n, "value": v} for n, v in metadata],
            },
            "start_cycle": start % COUNTER,
            "end_cycle": end % COUNTER,
        })
        self.cycle = end + self.rng.randrange(8, 40)

    def jitter(self, cycles):
        return int(cycles * self.rng.uniform(0.85, 1.2))


def load_weights(tile):
    for chunk in range(6):
        tile.step("Exchange", "load_weights", "host_dma_in", tile.jitter(38_000), 0, 0,
                  [("bytes", "65536"), ("page", "3"), ("chunk", str(chunk))])
    tile.step("Synchronization", "load_weights", "barrier_all_tiles", tile.jitter(2_500), 0, 0,
              [("participants", str(len(TILES)))])


def prefill(tile):
    tile.step("Exchange", "prefill.inputs", "host_dma_in", tile.jitter(3_000), 1, 0,
              [("bytes", "640"), ("page", "1")])
    tile.step("Compute", "embedding", "embedding_lookup_f16", tile.jitter(9_000), 1, 0,
              [("rows", "128")])
    for block in range(4):
        tile.step("Compute", "attention.qkv", "gemm_f16_128x64", tile.jitter(24_000), 1, 0,
                  [("m", "128"), ("n", "768"), ("k", "256"), ("block", str(block))])
        tile.step("Exchange", "attention.scatter", "tile_exchange_send", tile.jitter(6_000), 1, 0,
                  [("bytes", "49152"), ("peer", "all")])
        tile.step("Compute", "attention.scores", "softmax_f16", tile.jitter(7_000), 2, 0)
        tile.step("Compute", "mlp.up", "gemm_i8_128x128", tile.jitter(18_000), 2, 0,
                  [("m", "128"), ("n", "1024"), ("k", "256")])
        tile.step("Synchronization", "prefill", "barrier_all_tiles", tile.jitter(1_800), 2, 0,
                  [("participants", str(len(TILES)))])
    tile.step("Compute", "lm_head", "gemm_f16_128x64", tile.jitter(30_000), 3, 0,
              [("m", "128"), ("n", "512"), ("k", "256"), ("tag", "prefill"), ("tag", "lm_head")])
    tile.step("Exchange", "prefill.outputs", "host_dma_out", tile.jitter(12_000), 3, 0,
              [("bytes", "131072"), ("page", "2")])


def decode(tile, epoch):
    tile.step("Idle", "wait_host", "", tile.jitter(4_000), 0, epoch)
    tile.step("Exchange", "decode.inputs", "host_dma_in", tile.jitter(1_200), 0, epoch,
              [("bytes", "256"), ("page", "1")])
    tile.step("Compute", "attention.qkv", "gemv_f16_768", tile.jitter(5_500), 0, epoch)
    tile.step("Exchange", "attention.scatter", "tile_exchange_send", tile.jitter(1_500), 0, epoch,
              [("bytes", "1536"), ("peer", "all")])
    tile.step("Compute", "attention.scores", "softmax_f16", tile.jitter(1_800), 1, epoch)
    tile.step("Compute", "mlp.up", "gemv_i8_1024", tile.jitter(4_200), 1, epoch)
    # Tiles that finish early wait longer at the barrier.
    tile.step("Synchronization", "decode", "barrier_all_tiles",
              tile.jitter(800 + 300 * (tile.number % 4)), 1, epoch,
              [("participants", str(len(TILES)))])
    if tile.number in (8, 9):
        tile.step("Compute", "lm_head", "gemv_f16_512", tile.jitter(3_600), 1, epoch)
        tile.step("Exchange", "decode.outputs", "host_dma_out", tile.jitter(2_000), 1, epoch,
                  [("bytes", "32768"), ("page", "2")])
    else:
        tile.step("Idle", "", "", tile.jitter(5_000), 1, epoch)


def main():
    rng = random.Random(2026)
    tiles = []
    for number in TILES:
        tile = Tile(number, rng)
        load_weights(tile)
        prefill(tile)
        for epoch in range(1, DECODE_STEPS + 1):
            decode(tile, epoch)
        tiles.append(tile)

    # One sample per line keeps the file readable and small.
    lines = ['{', f'  "clock_hz": {CLOCK_HZ},', '  "tiles": [']
    for t, tile in enumerate(tiles):
        lines.append(f'    {{"physical_tile": {tile.number}, "samples": [')
        for s, sample in enumerate(tile.samples):
            comma = "," if s + 1 < len(tile.samples) else ""
            lines.append("      " + json.dumps(sample, separators=(", ", ": ")) + comma)
        lines.append("    ]}" + ("," if t + 1 < len(tiles) else ""))
    lines += ["  ]", "}"]
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).with_name(
        "sample_profile.json")
    out.write_text("\n".join(lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
