#pragma once

// What outside input (form files, prepared reports, page metafiles,
// pictures) may make Vorel allocate or walk, in one place. Each limit is far
// above what real reports use; input beyond one is refused (or, inside a
// page, the record is skipped) with an error that names the limit.
// docs/HARDENING.md lists them with the reason for each value.

#include <cstdint>

namespace vorel::limits {

// --- report forms -------------------------------------------------------------------------

// Component entries in one form (report, bands, controls, data sets). A
// control costs about 2 KB once created from an entry of 20 bytes, so the
// count, not the file size, bounds the memory of loading: a million
// controls take about 2 GB.
inline constexpr std::int64_t kFormComponents = 1'000'000;
// Bands of one report: the engine pairs group headers with footers and
// orders bands by walking the band list, so it stays short.
inline constexpr int kReportBands = 10'000;
// A class, component or property name in a binary form: one length byte.
inline constexpr int kFormNameBytes = 255;

// --- page metafiles and pictures ----------------------------------------------------------

// The bytes of one metafile read from a file or a prepared report.
inline constexpr std::int64_t kMetafileBytes = 512LL * 1024 * 1024;
// Pixels of one bitmap inside a page record (64 M, 256 MB as RGB32).
inline constexpr std::uint64_t kDibPixels = 1ull << 26;
// Object handles a metafile header may declare.
inline constexpr std::uint32_t kEmfHandles = 0xFFFF;

// --- prepared reports and exports -----------------------------------------------------------

// Report pixels of the canvas a single-file export lays all listed pages
// on (bars x page width, pages x page height; 2^30, 280 km at 96 dpi).
inline constexpr std::int64_t kExportExtent = std::int64_t(1) << 30;
// A coordinate of a drawing record that export filters place on that
// canvas (report pixels); a record beyond it is skipped. With the canvas
// limit, every sum and difference of item edges stays within int.
inline constexpr std::int64_t kRecordCoordinate = std::int64_t(1) << 28;

} // namespace vorel::limits
