# Sourced by the test command and the mutation command: the hostile
# end-to-end pass, its calling states and the runs made in each.
#
# The states are CONTROL,MXCSR,X87FLAGS. One differs from the module's own
# (x87 control 0x027F: 53-bit precision, to nearest, all masked) in
# everything at once: 24-bit precision, rounding toward zero, the invalid,
# zero-divide and overflow exceptions unmasked, and an MXCSR rounding toward
# zero with flush-to-zero and denormals-are-zero and the same exceptions
# unmasked. The others differ in one thing at a time or not at all (Windows'
# default), so that every branch of the module's switch is taken: the control
# word loaded on entry and put back at the end, or neither. Each comes with
# the x87 flags clear (the flags the module's arithmetic raises are cleared by
# FNCLEX), with the precision flag raised (which its arithmetic raises:
# nothing to clear) and with the underflow flag alone (the caller's flags put
# back through FLDENV).
hostile_states=(0x0C72,0xF940,0x20)
# Windows' default; 64-bit precision; rounding toward zero; invalid,
# zero-divide and overflow unmasked (the MXCSR's rounding and masks alike, for
# the 64-bit build).
for kind in 0x027F,0x1F80 0x037F,0x1F80 0x0E7F,0x7F80 0x0272,0x1900; do
    hostile_states+=("$kind,0" "$kind,0x20" "$kind,0x10")
done

# The runs made in each state: every kind of checkpoint, and the pictures
# that show arithmetic done in the caller's state: unequal drag factors and
# a yes other than 1 (nonzero-yes), the rounding edges of the layout, the drag
# and the fit (edges, precision), the module's buffers with padded rows and
# the frames that the host saved (padded-rows), and a soak of random messages,
# which sends every message and notification that the module handles, closes
# and opens the video and stores the settings at the end. The plain pass runs
# every run; those left out here differ from these only in what the host does.
hostile_runs="nonzero-yes edges precision padded-rows soak"
hostile_environment=(E2E_FP_STATE="${hostile_states[*]}" E2E_ONLY="$hostile_runs" E2E_SOAK_STEPS=500)
