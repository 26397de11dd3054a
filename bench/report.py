#!/usr/bin/env python3
"""Prints the ratios of the benchmark runs whose Google Benchmark JSON files are given:
logo_pipeline_bench, usb_virtual_bench, usb_transaction_bench and writer_bench (any of them).

Usage: report.py NAME=FILE.json..."""
import json
import sys

SCALE_TO_US = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}


def medians(path):
    """Median CPU and wall time (microseconds) of each benchmark, by its name up to the
    first option (for example "BM_LogoPipeline/grain:0")."""
    result = {}
    for b in json.load(open(path))["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        name = "/".join(part for part in b["run_name"].split("/")
                        if not part.startswith(("min_time", "repeats", "process_time",
                                                "real_time")))
        scale = SCALE_TO_US[b["time_unit"]]
        entry = {"cpu": b["cpu_time"] * scale, "wall": b["real_time"] * scale}
        # A median, when there is one, wins over the single runs.
        if b.get("run_type") == "aggregate" or name not in result:
            result[name] = entry
    return result


def logo(runs):
    print("Logo pipeline (JPEG import + scale to 1024 x 768 + the projector's logo encoder) against")
    print("a bare libjpeg decode of the same 1600 x 1200 picture (quality 90), CPU, median:")
    for grain, label in (("0", "scene"), ("1", "scene with grain (worst case)")):
        bare = runs[f"BM_BareJpegDecode/grain:{grain}"]
        for name, encoder in (("BM_LogoPipeline", "SPLB"), ("BM_LogoPipelineSplc", "SPLC")):
            pipe = runs[f"{name}/grain:{grain}"]
            print(f"  {label:30s} {encoder} pipeline {pipe['cpu'] / 1e3:6.2f} ms, bare decode "
                  f"{bare['cpu'] / 1e3:5.2f} ms, ratio {pipe['cpu'] / bare['cpu']:.2f} (goal 1.3)")


def usb_virtual(runs):
    floor = runs["BM_VirtualBusDevicePair"]["cpu"]
    print("USB path per transaction (status query: 9 bytes out, answer in) on the virtual bus,")
    print("process CPU, median, against the 1 ms full-speed frame (goal: under 10 us):")
    for name, label in (("BM_VirtualLinkReadStatus", "link + library + driver core"),
                        ("BM_VirtualLibraryPipePair", "WDU_PipeTransfer pair (library + core)"),
                        ("BM_VirtualBusDevicePair", "bus device alone (floor)")):
        cpu = runs[name]["cpu"]
        print(f"  {label:40s} {cpu:6.2f} us = {cpu / 10:5.2f} % of a frame, "
              f"{cpu / floor:5.2f} x floor")


def usb_libusb(runs):
    link, direct = runs["BM_LinkTransaction"], runs["BM_DirectLibusbTransaction"]
    print("USB path per transaction through libusb on an emulated usbfs (umockdev), process CPU:")
    print(f"  link + library + driver core + libusb bus: {link['cpu']:9.1f} us CPU, "
          f"{link['wall']:9.1f} us wall")
    print(f"  libusb device alone:                       {direct['cpu']:9.1f} us CPU, "
          f"{direct['wall']:9.1f} us wall")
    print(f"  ratio (CPU): {link['cpu'] / direct['cpu']:.2f}; both include the emulated usbfs "
          "(a socket round trip per request)")


def writer(runs):
    job, bare = runs["BM_Writer"], runs["BM_BareBlockLoop"]
    blocks = (0x100000 + 55) // 56
    print("Writer against a bare loop of the same block transactions (1 MiB, 56-byte blocks)")
    print("on the in-process link to a virtual projector, wall time, median:")
    for label, run in (("writer thread", job), ("bare loop (floor)", bare)):
        print(f"  {label:20s} {run['wall'] / 1e3:8.1f} ms = {blocks / run['wall'] * 1e6:8.0f} "
              "blocks/s")
    print(f"  ratio {job['wall'] / bare['wall']:.2f} (goal 1.2)")


def main():
    reports = {"logo": logo, "usb_virtual": usb_virtual, "usb_libusb": usb_libusb,
               "writer": writer}
    for argument in sys.argv[1:]:
        name, path = argument.split("=", 1)
        print()
        reports[name](medians(path))


if __name__ == "__main__":
    main()
