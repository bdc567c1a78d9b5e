# Sourced by run.sh, which takes the main job's screenshots, and by
# screenshots.sh, which copies two of them into docs/: the screenshots' file
# names in build/screenshots/ by number, without the extension. run.sh adds
# "-next-frame" to number 5 when that shows the next generated frame.
screenshot_names=(
    [1]=1-compare-fit
    [2]=2-compare-x3-preview-press
    [3]=3-compare-x3-menu-magnification-open
    [4]=4-source-x6-dragged
    [5]=5-filtered-x2
    [6]=6-filtered-x2-menu-view-open
    [7]=7-compare-fit-640x300
    [8]=8-compare-x2-filtered-at-half-size
)
