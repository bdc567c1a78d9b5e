// Tests land here.
