#!/usr/bin/env bash
# Fails when a picture of TAV's main window does not show its Chinese texts as real characters:
# empty boxes where a font lacks them, or strokes lost in drawing (目录 that reads as 月求). It
# reads the picture with tesseract's Simplified Chinese model, enlarged 2, 3 and 4 times (OCR is
# made for larger print than 12 pixels) and laid out as a block and as sparse text. Of the
# window's 5 words, 当前目录 (the status line, the smallest text) must come back in a reading,
# and at least 3 others in the readings that hold it; the model takes a well drawn 修 for 收 now
# and then, so one word may be missing.
#
#   tests/e2e/check-glyphs.sh PICTURE.png...
set -euo pipefail
words=(当前目录 帮助 关于 修改前 修改后)
failed=0
for picture in "$@"; do
  read_back=() seen=()
  for scale in 200 300 400; do
    for layout in 6 11; do
      text=$(convert "$picture" -filter Lanczos -resize "$scale%" -colorspace Gray png:- |
        tesseract stdin stdout -l chi_sim --psm "$layout" 2>/dev/null | tr -d ' \n')
      for word in "${words[@]}"; do
        [[ $text != *"$word"* || " ${seen[*]} " == *" $word "* ]] || seen+=("$word")
      done
      [[ $text == *当前目录* ]] || continue
      for word in "${words[@]}"; do
        [[ $text != *"$word"* || " ${read_back[*]} " == *" $word "* ]] || read_back+=("$word")
      done
    done
  done
  if [ ${#read_back[@]} -ge 4 ]; then
    echo "ok - $picture: the window's Chinese texts read back (${#read_back[@]} of ${#words[@]}: ${read_back[*]})"
  else
    echo "FAIL - $picture: the window's Chinese texts read back expected 4 of ${words[*]}, 当前目录 among them got ${read_back[*]:-none with 当前目录} (in all readings: ${#seen[@]}: ${seen[*]:-})"
    failed=1
  fi
done
exit $failed
