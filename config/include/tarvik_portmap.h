/* tarvik_portmap.h: the bit layout of the two port-mapping words and of the
 * driver options word.
 *
 * The words are a storage format: the registry keeps them as they are
 * ("ComNo%d", "ComOA%d", "ComNoIO", "Flags") and the driver decodes them the
 * same way, so every field is reached through the masks and shifts below,
 * never through C bit-fields (whose order the compiler chooses).
 *
 * COM word:
 *   bits  0-11  local COM number 1..4095, 0 = not mapped
 *   bit   12    DisablePurge
 *   bits 13-19  device port number (0 = the device's I/O port)
 *   bit   20    FixedConfig
 *   bits 21-26  index of the port within its slot, from 1
 *   bits 27-31  slot number (0 = base unit, 1..9 = expansion slot)
 * Older stores kept a 13-bit COM field in bits 0-12 (TKC_COM_OLD_NUMBER_MASK).
 *
 * Options word:
 *   bit   0     WriteBuffer
 *   bits  1-9   AutoFlush interval in 10 ms units, valid 1..500, default 5
 *
 * Driver options word ("Flags"):
 *   bit   0     format marker (DisablePurge bits of the store are valid)
 *   bit   1     FastOpen
 *   bit   2     IgnoreWriteError
 *   bits  3-9   CloseDelayTime in 10 ms units
 */
#ifndef TARVIK_PORTMAP_H
#define TARVIK_PORTMAP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* COM word */
#define TKC_COM_NUMBER_MASK 0x00000FFFu
#define TKC_COM_OLD_NUMBER_MASK 0x00001FFFu
#define TKC_COM_DISABLE_PURGE 0x00001000u
#define TKC_COM_DEVPORT_SHIFT 13
#define TKC_COM_DEVPORT_MASK (0x7Fu << TKC_COM_DEVPORT_SHIFT)
#define TKC_COM_FIXED_CONFIG 0x00100000u
#define TKC_COM_INDEX_SHIFT 21
#define TKC_COM_INDEX_MASK (0x3Fu << TKC_COM_INDEX_SHIFT)
#define TKC_COM_SLOT_SHIFT 27
#define TKC_COM_SLOT_MASK (0x1Fu << TKC_COM_SLOT_SHIFT)
/* The bits a port layout owns: device port number, index and slot. */
#define TKC_COM_LAYOUT_MASK (TKC_COM_DEVPORT_MASK | TKC_COM_INDEX_MASK | TKC_COM_SLOT_MASK)

/* Options word */
#define TKC_OPT_WRITE_BUFFER 0x00000001u
#define TKC_OPT_AUTOFLUSH_SHIFT 1
#define TKC_OPT_AUTOFLUSH_MASK (0x1FFu << TKC_OPT_AUTOFLUSH_SHIFT)
#define TKC_OPT_AUTOFLUSH_DEFAULT 5u
#define TKC_OPT_AUTOFLUSH_MAX 500u

/* Driver options word */
#define TKC_FLAGS_FORMAT_MARKER 0x00000001u
#define TKC_FLAGS_FAST_OPEN 0x00000002u
#define TKC_FLAGS_IGNORE_WRITE_ERROR 0x00000004u
#define TKC_FLAGS_CLOSE_DELAY_SHIFT 3
#define TKC_FLAGS_CLOSE_DELAY_MASK (0x7Fu << TKC_FLAGS_CLOSE_DELAY_SHIFT)

static inline uint32_t TkcField(uint32_t word, uint32_t mask, int shift) {
  return (word & mask) >> shift;
}
static inline uint32_t TkcWithField(uint32_t word, uint32_t mask, int shift, uint32_t value) {
  return (word & ~mask) | ((value << shift) & mask);
}

static inline uint32_t TkcComNumber(uint32_t com) { return com & TKC_COM_NUMBER_MASK; }
static inline uint32_t TkcComSetNumber(uint32_t com, uint32_t number) {
  return TkcWithField(com, TKC_COM_NUMBER_MASK, 0, number);
}
static inline int TkcComDisablePurge(uint32_t com) { return (com & TKC_COM_DISABLE_PURGE) != 0; }
static inline uint32_t TkcComSetDisablePurge(uint32_t com, int on) {
  return on ? (com | TKC_COM_DISABLE_PURGE) : (com & ~TKC_COM_DISABLE_PURGE);
}
static inline uint32_t TkcComDevicePort(uint32_t com) {
  return TkcField(com, TKC_COM_DEVPORT_MASK, TKC_COM_DEVPORT_SHIFT);
}
static inline uint32_t TkcComSetDevicePort(uint32_t com, uint32_t port) {
  return TkcWithField(com, TKC_COM_DEVPORT_MASK, TKC_COM_DEVPORT_SHIFT, port);
}
static inline int TkcComFixedConfig(uint32_t com) { return (com & TKC_COM_FIXED_CONFIG) != 0; }
static inline uint32_t TkcComSetFixedConfig(uint32_t com, int on) {
  return on ? (com | TKC_COM_FIXED_CONFIG) : (com & ~TKC_COM_FIXED_CONFIG);
}
static inline uint32_t TkcComIndex(uint32_t com) {
  return TkcField(com, TKC_COM_INDEX_MASK, TKC_COM_INDEX_SHIFT);
}
static inline uint32_t TkcComSetIndex(uint32_t com, uint32_t index) {
  return TkcWithField(com, TKC_COM_INDEX_MASK, TKC_COM_INDEX_SHIFT, index);
}
static inline uint32_t TkcComSlot(uint32_t com) {
  return TkcField(com, TKC_COM_SLOT_MASK, TKC_COM_SLOT_SHIFT);
}
static inline uint32_t TkcComSetSlot(uint32_t com, uint32_t slot) {
  return TkcWithField(com, TKC_COM_SLOT_MASK, TKC_COM_SLOT_SHIFT, slot);
}

static inline int TkcOptWriteBuffer(uint32_t opt) { return (opt & TKC_OPT_WRITE_BUFFER) != 0; }
static inline uint32_t TkcOptSetWriteBuffer(uint32_t opt, int on) {
  return on ? (opt | TKC_OPT_WRITE_BUFFER) : (opt & ~TKC_OPT_WRITE_BUFFER);
}
static inline uint32_t TkcOptAutoFlush(uint32_t opt) {
  return TkcField(opt, TKC_OPT_AUTOFLUSH_MASK, TKC_OPT_AUTOFLUSH_SHIFT);
}
static inline uint32_t TkcOptSetAutoFlush(uint32_t opt, uint32_t interval) {
  return TkcWithField(opt, TKC_OPT_AUTOFLUSH_MASK, TKC_OPT_AUTOFLUSH_SHIFT, interval);
}

static inline uint32_t TkcFlagsCloseDelay(uint32_t flags) {
  return TkcField(flags, TKC_FLAGS_CLOSE_DELAY_MASK, TKC_FLAGS_CLOSE_DELAY_SHIFT);
}
static inline uint32_t TkcFlagsSetCloseDelay(uint32_t flags, uint32_t units) {
  return TkcWithField(flags, TKC_FLAGS_CLOSE_DELAY_MASK, TKC_FLAGS_CLOSE_DELAY_SHIFT, units);
}

#ifdef __cplusplus
}
#endif

#endif /* TARVIK_PORTMAP_H */
