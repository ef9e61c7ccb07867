"""The other containers: .mp4 with H.264 and AAC and its index before the media data, .webm
with VP9 and Opus, each with every picture at the asked rate from 0 and the sound as long as the
pictures; and two captures with the default seed are the same file."""
import os
import tempfile

from capture_session import FADE_FRAMES, capture, probe, streams
from window_session import fail


def check_streams(path, rate, frames):
    found = probe(path, "-count_packets", "-show_entries",
                  "stream=codec_type,r_frame_rate,nb_read_packets,start_time:format=duration")
    video = [s for s in found["streams"] if s["codec_type"] == "video"][0]
    if video["r_frame_rate"] != "%d/1" % rate or int(video["nb_read_packets"]) != frames:
        fail("%s: %s pictures at %s, expected %d at %d/1" % (
            path, video["nb_read_packets"], video["r_frame_rate"], frames, rate))
    # Opus starts 312 samples early (its encoder's look-ahead, dropped when decoded), which
    # moves the other stream by that much (6.5 ms); both stay within a picture of 0.
    if any(abs(float(s["start_time"])) >= 1.0 / rate for s in found["streams"]):
        fail("%s: streams start at %s" % (path, [s["start_time"] for s in found["streams"]]))
    sound = probe(path, "-select_streams", "a", "-show_entries", "packet=pts_time,duration_time")
    last = max(sound["packets"], key=lambda p: float(p["pts_time"]))
    sound_end = float(last["pts_time"]) + float(last["duration_time"])
    if abs(sound_end - frames / rate) > 1.0 / rate:
        fail("%s: the sound ends at %.3f s, the pictures at %.3f s" % (path, sound_end,
                                                                     frames / rate))


def main():
    with tempfile.TemporaryDirectory(prefix="capture_") as work:
        mp4 = os.path.join(work, "out.mp4")
        capture(mp4, "--seconds", "0.4", "--rate", "50")
        if streams(mp4) != {"video": ("h264", "yuv420p"), "audio": ("aac", None)}:
            fail("mp4 streams: %s" % streams(mp4))
        with open(mp4, "rb") as f:
            head = f.read()
        if not 0 < head.find(b"moov") < head.find(b"mdat"):
            fail("the mp4 index does not come before the media data")
        check_streams(mp4, 50, 20 + FADE_FRAMES)

        webm = os.path.join(work, "out.webm")
        capture(webm, "--seconds", "0")
        if streams(webm) != {"video": ("vp9", "yuv420p"), "audio": ("opus", None)}:
            fail("webm streams: %s" % streams(webm))
        check_streams(webm, 60, FADE_FRAMES)

        first, second = os.path.join(work, "a.mkv"), os.path.join(work, "b.mkv")
        capture(first, "--seconds", "0.5")
        capture(second, "--seconds", "0.5")
        with open(first, "rb") as a, open(second, "rb") as b:
            if a.read() != b.read():
                fail("two captures with the default seed differ")
    print("ok")


if __name__ == "__main__":
    main()
