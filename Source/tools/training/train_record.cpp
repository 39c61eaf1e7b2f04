#include "tools/training/train_record.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr uint8_t kMarker[4] = {'Z', 'T', 'G', '1'};
constexpr uint32_t kMaxPayload = kTrainMaxRecordBytes - 12;

struct CrcTable {
  uint32_t entry[256];
  CrcTable() {
    for (uint32_t i = 0; i < 256; i++) {
      uint32_t c = i;
      for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entry[i] = c;
    }
  }
};

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}
uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

// Reads a payload into the game; false when its fields do not add up.
bool DecodePayload(const uint8_t* p, uint32_t size, TrainGame* game) {
  if (size < 1) return false;
  uint32_t fen_length = p[0];
  if (fen_length >= uint32_t(kTrainFenSize) || size < 1 + fen_length + 4) return false;
  std::memcpy(game->fen, p + 1, fen_length);
  game->fen[fen_length] = 0;
  const uint8_t* q = p + 1 + fen_length;
  int result = int8_t(q[0]);
  if (result < -1 || result > 1) return false;
  game->result = result;
  game->termination = q[1];
  uint32_t moves = Get16(q + 2);
  if (moves > uint32_t(kTrainMaxMoves) || size != 1 + fen_length + 4 + 4 * moves) return false;
  game->move_count = int(moves);
  q += 4;
  for (uint32_t i = 0; i < moves; i++, q += 4) {
    game->moves[i].move = Move(Get16(q));
    game->moves[i].score = int16_t(Get16(q + 2));
  }
  return true;
}

}  // namespace

uint32_t Crc32(const uint8_t* data, size_t size) {
  static const CrcTable table;
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; i++) c = table.entry[(c ^ data[i]) & 255] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

int EncodeTrainGame(const TrainGame& game, uint8_t* out) {
  size_t fen_length = strnlen(game.fen, kTrainFenSize);
  if (fen_length >= size_t(kTrainFenSize) || game.move_count < 0 || game.move_count > kTrainMaxMoves) return 0;
  uint8_t* payload = out + 8;
  uint8_t* p = payload;
  *p++ = uint8_t(fen_length);
  std::memcpy(p, game.fen, fen_length);
  p += fen_length;
  *p++ = uint8_t(int8_t(game.result));
  *p++ = uint8_t(game.termination);
  Put16(p, uint32_t(game.move_count));
  p += 2;
  for (int i = 0; i < game.move_count; i++, p += 4) {
    Put16(p, game.moves[i].move);
    Put16(p + 2, uint16_t(game.moves[i].score));
  }
  uint32_t size = uint32_t(p - payload);
  std::memcpy(out, kMarker, 4);
  Put32(out + 4, size);
  Put32(p, Crc32(payload, size));
  return int(size) + 12;
}

bool AppendTrainGame(int fd, const TrainGame& game) {
  static thread_local uint8_t buffer[kTrainMaxRecordBytes];
  int size = EncodeTrainGame(game, buffer);
  if (size == 0) return false;
  ssize_t written;
  do {
    written = write(fd, buffer, size_t(size));
  } while (written < 0 && errno == EINTR);
  return written == size;
}

bool OpenTrainGames(const char* path, TrainGameReader* reader) {
  *reader = TrainGameReader();
  int error = 0;
  return MapFileReadOnly(path, &reader->file, &error) == MapStatus::kOk;
}

void CloseTrainGames(TrainGameReader* reader) { UnmapFile(&reader->file); }

bool NextTrainGame(TrainGameReader* reader, TrainGame* game) {
  const uint8_t* data = reader->file.data;
  size_t size = reader->file.size;
  while (reader->offset + 12 <= size) {
    size_t at = reader->offset;
    if (std::memcmp(data + at, kMarker, 4) == 0) {
      uint32_t payload = Get32(data + at + 4);
      if (payload <= kMaxPayload && at + 12 + payload <= size &&
          Get32(data + at + 8 + payload) == Crc32(data + at + 8, payload) &&
          DecodePayload(data + at + 8, payload, game)) {
        reader->offset = at + 12 + payload;
        reader->games++;
        return true;
      }
    }
    // Not a valid record here: look for the next marker.
    reader->offset++;
    reader->skipped_bytes++;
  }
  reader->skipped_bytes += size - reader->offset;
  reader->offset = size;
  return false;
}

bool IsTrainGameFile(const char* path) {
  MappedFile file;
  int error = 0;
  if (MapFileReadOnly(path, &file, &error) != MapStatus::kOk) return false;
  bool marked = file.size >= 4 && std::memcmp(file.data, kMarker, 4) == 0;
  UnmapFile(&file);
  return marked;
}

uint64_t CountTrainGames(const char* path) {
  TrainGameReader reader;
  if (!OpenTrainGames(path, &reader)) return 0;
  static thread_local TrainGame game;
  while (NextTrainGame(&reader, &game)) {
  }
  CloseTrainGames(&reader);
  return reader.games;
}
