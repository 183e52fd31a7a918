#!/usr/bin/perl
# Draws icon 1 of the setup program, a parcel with an arrow pointing into it, and writes it
# as a Windows icon file with five images: 32 x 32 and 16 x 16 in 16 colours, 48 x 48,
# 32 x 32 and 16 x 16 in 256 colours. Usage: draw_icon.pl OUTPUT.ico
#
# The picture is described once in unit coordinates (0..1 across and down) as regions;
# each image samples it at its own size and maps regions to its palette. Outside the
# regions the AND mask makes the icon transparent.
use strict;
use warnings;

my $out = shift or die "usage: $0 OUTPUT.ico\n";

# Regions: 0 outside, 1 parcel front, 2 parcel side, 3 parcel top, 4 arrow, 5 tape.
sub region {
  my ($u, $v) = @_;
  # Arrow: a shaft and a head pointing down onto the parcel's top.
  return 4 if $u >= 0.40 && $u <= 0.58 && $v >= 0.04 && $v <= 0.30;
  if ($v >= 0.26 && $v <= 0.50) {
    my $half = 0.20 * (0.50 - $v) / 0.24;
    return 4 if abs($u - 0.49) <= $half;
  }
  # Parcel: front face, right side and top as parallelograms.
  if ($u >= 0.08 && $u <= 0.68 && $v >= 0.50 && $v <= 0.94) {
    return 5 if $u >= 0.34 && $u <= 0.42;
    return 1;
  }
  if ($u > 0.68 && $u <= 0.92) {
    my $lift = ($u - 0.68) * 0.5;
    return 2 if $v >= 0.50 - $lift && $v <= 0.94 - $lift;
  }
  if ($v >= 0.38 && $v < 0.50) {
    my $shift = (0.50 - $v) * 2.0;
    if ($u >= 0.08 + $shift && $u <= 0.68 + $shift) {
      my $tape = 0.34 + $shift;
      return 5 if $u >= $tape && $u <= $tape + 0.08;
      return 3;
    }
  }
  return 0;
}

# The standard 16-colour palette: black, dark red, dark green, olive, navy, purple, teal,
# silver, grey, red, green, yellow, blue, magenta, cyan, white.
my @vga = ([0,0,0],[128,0,0],[0,128,0],[128,128,0],[0,0,128],[128,0,128],[0,128,128],
           [192,192,192],[128,128,128],[255,0,0],[0,255,0],[255,255,0],[0,0,255],
           [255,0,255],[0,255,255],[255,255,255]);

# 256 colours: the 16 above, a 6 x 6 x 6 colour cube, then 24 greys.
my @pal256 = @vga;
for my $r (0..5) { for my $g (0..5) { for my $b (0..5) {
  push @pal256, [$r * 51, $g * 51, $b * 51];
}}}
push @pal256, [8 + $_ * 10, 8 + $_ * 10, 8 + $_ * 10] for 0..23;
sub cube { my ($r, $g, $b) = @_; return 16 + 36 * $r + 6 * $g + $b; }

# Colour index of a region at (u, v) for a palette depth; outline pixels are drawn dark.
sub colour {
  my ($bits, $reg, $u, $v, $edge) = @_;
  if ($bits == 4) {
    return 0 if $edge;
    return (0, 11, 3, 15, 12, 7)[$reg];
  }
  return 16 if $edge;
  my $shade = $v < 0.5 ? 0 : ($v < 0.75 ? 1 : 2);   # the front darkens towards the ground
  return cube(5, 4 - $shade, 1) if $reg == 1;
  return cube(4, 3, 0) if $reg == 2;
  return cube(5, 5, 3) if $reg == 3;
  return cube(0, 2 + int((0.5 - ($v > 0.5 ? 0.5 : $v)) * 6), 5) if $reg == 4;
  return cube(4, 4, 4) if $reg == 5;
  return 0;
}

sub image {
  my ($size, $bits) = @_;
  my @reg;
  for my $y (0 .. $size - 1) {
    for my $x (0 .. $size - 1) {
      $reg[$y][$x] = region(($x + 0.5) / $size, ($y + 0.5) / $size);
    }
  }
  my $row_bytes = int(($size * $bits + 31) / 32) * 4;
  my $mask_bytes = int(($size + 31) / 32) * 4;
  my ($xor, $and) = ('', '');
  for (my $y = $size - 1; $y >= 0; --$y) {       # bitmaps are stored bottom-up
    my @idx;
    my $mask = '';
    for my $x (0 .. $size - 1) {
      my $r = $reg[$y][$x];
      my $edge = 0;
      if ($r) {
        for my $d ([1,0],[-1,0],[0,1],[0,-1]) {
          my ($nx, $ny) = ($x + $d->[0], $y + $d->[1]);
          my $n = ($nx < 0 || $ny < 0 || $nx >= $size || $ny >= $size) ? 0 : $reg[$ny][$nx];
          $edge = 1 if $n == 0 || ($r == 4) != ($n == 4);
        }
      }
      push @idx, $r ? colour($bits, $r, ($x + 0.5) / $size, ($y + 0.5) / $size, $edge) : 0;
      $mask .= $r ? '0' : '1';
    }
    my $row = $bits == 4
      ? join('', map { chr(($idx[2 * $_] << 4) | ($idx[2 * $_ + 1] // 0)) } 0 .. $size / 2 - 1)
      : join('', map { chr($_) } @idx);
    $xor .= $row . ("\0" x ($row_bytes - length $row));
    my $m = pack('B*', $mask);
    $and .= $m . ("\0" x ($mask_bytes - length $m));
  }
  my @pal = $bits == 4 ? @vga : @pal256;
  my $palette = join('', map { pack('C4', $_->[2], $_->[1], $_->[0], 0) } @pal);
  my $header = pack('V l< l< v v V V l< l< V V', 40, $size, 2 * $size, 1, $bits, 0,
                    length($xor) + length($and), 0, 0, 0, 0);
  return $header . $palette . $xor . $and;
}

my @images = ([32, 4], [16, 4], [48, 8], [32, 8], [16, 8]);
my @data = map { image(@$_) } @images;
my $dir = pack('v v v', 0, 1, scalar @images);
my $offset = 6 + 16 * @images;
for my $i (0 .. $#images) {
  my ($size, $bits) = @{ $images[$i] };
  $dir .= pack('C C C C v v V V', $size, $size, $bits == 4 ? 16 : 0, 0, 1, $bits,
               length $data[$i], $offset);
  $offset += length $data[$i];
}
open(my $fh, '>:raw', $out) or die "$out: $!\n";
print $fh $dir, @data;
close($fh) or die "$out: $!\n";
