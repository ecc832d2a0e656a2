#!/usr/bin/env python3
"""Share of CPU samples per component, from `perf script` output (recorded
with --call-graph dwarf) on standard input. Each sample goes to the first
component in the list below that any frame of its call chain matches; the
rest of the main thread is the event loop itself."""
import re
import sys

COMPONENTS = [
    ("PNG decode and conversion", r"png_|inflate|libz\.so|libpng|QPngHandler|convert_generic|QImage::convertTo"),
    ("style sheet assignment (parse, polish, icon lookup)", r"QWidget::setStyleSheet|QStyleSheetStyle::(repolish|polish|styleRules)|QCss::|QIcon::QIcon|QIcon::addFile"),
    ("meter painting", r"VXNPPMMeter::paintEvent|Bar::paintEvent"),
    ("clocks (poll, time, paint)", r"VXNAnalogClock|VXNDigitalClock"),
    ("backing-store flush and X sync", r"QBackingStore::(flush|beginPaint|endPaint)|QXcbConnection::sync|QXcbBackingStore"),
    ("window and label painting", r"QWidgetPrivate::drawWidget|QWidgetPrivate::paintSiblingsRecursive"),
    ("repaint-manager region work", r"QWidgetRepaintManager|QWidget::update|QWidget::repaint|QRegion|syncBackingStore|markDirty"),
    ("intake and supervision (own code)", r"MainWindow::(libraryCallback|handleMixerEvent|onKeepAliveTimer|onRedraw|onShowMicTimer|onVoicetrack|onHandleMicTimer)"),
    ("release tick (own code)", r"MainWindow::meterRelease|MainWindow::releaseMeter"),
]
COMPILED = [(name, re.compile(pattern)) for name, pattern in COMPONENTS]


def main():
    header = re.compile(r"^(\S.*?)\s+(\d+)\s+[\d.]+:")
    samples = []
    for line in sys.stdin:
        m = header.match(line)
        if m:
            samples.append((int(m.group(2)), []))
        elif samples and line.strip():
            samples[-1][1].append(line.strip())
    if not samples:
        print("no samples")
        return 1
    main_tid = min(tid for tid, _ in samples)  # the process's first thread

    counts = {}
    for tid, frames in samples:
        name = "library and other threads"
        if tid == main_tid:
            text = "\n".join(frames)
            name = "event loop, timers, queued events"
            for candidate, pattern in COMPILED:
                if pattern.search(text):
                    name = candidate
                    break
        counts[name] = counts.get(name, 0) + 1

    print(f"{len(samples)} samples")
    print("| Component | Share of CPU |")
    print("|---|---|")
    for name, count in sorted(counts.items(), key=lambda kv: -kv[1]):
        print(f"| {name} | {100.0 * count / len(samples):.1f} % |")
    return 0


if __name__ == "__main__":
    sys.exit(main())
