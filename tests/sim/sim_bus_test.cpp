#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/sim_bus.h"

using ::testing::ElementsAre;

namespace {

class SimBusTest : public ::testing::Test {
 protected:
  SimBusTest() : com1_(unit1_), com2_(unit2_) {
    bus_.Attach(0x3F8, com1_);
    bus_.Attach(0x2F8, com2_);
  }

  KorvelUnit unit1_, unit2_;
  SimUart16550 com1_, com2_;
  SimBus bus_;
};

TEST_F(SimBusTest, RoutesEachAddressToTheUartAtItsBase) {
  bus_.Out(0x2FC, 0x0B);
  bus_.Out(0x2F8, 'B');
  bus_.Out(0x3F8, 'A');  // COM1's RTS is down, but the byte still goes out
  EXPECT_THAT(unit2_.Received(), ElementsAre('B'));
  EXPECT_THAT(unit1_.Received(), ElementsAre('A'));
  EXPECT_EQ(bus_.In(0x2FE) & 0x10, 0x10);
  EXPECT_EQ(bus_.In(0x3FE) & 0x10, 0x00);
}

TEST_F(SimBusTest, AnEmptySlotReadsAllOnesAndIgnoresWrites) {
  EXPECT_EQ(bus_.In(0x3E8), 0xFF);
  EXPECT_EQ(bus_.In(0x3ED), 0xFF);
  bus_.Out(0x3E8, 0x41);
  EXPECT_TRUE(com1_.Log().empty());
  EXPECT_TRUE(com2_.Log().empty());
  EXPECT_TRUE(bus_.Present(0x3F8));
  EXPECT_TRUE(bus_.Present(0x2F8));
  EXPECT_FALSE(bus_.Present(0x3E8));
  EXPECT_FALSE(bus_.Present(0x3F9));  // not a base
}

TEST_F(SimBusTest, DetachingEmptiesTheSlot) {
  bus_.Detach(0x2F8);
  EXPECT_FALSE(bus_.Present(0x2F8));
  EXPECT_EQ(bus_.In(0x2FD), 0xFF);
}

TEST_F(SimBusTest, LogsAccessesToEveryAddressInOrder) {
  bus_.Out(0x3FB, 0x03);
  bus_.In(0x2FD);
  bus_.In(0x3E8);
  EXPECT_THAT(bus_.Log(), ElementsAre(RegisterAccess{true, 0x3FB, 0x03},
                                      RegisterAccess{false, 0x2FD, 0x60},
                                      RegisterAccess{false, 0x3E8, 0xFF}));
}

TEST(SimBusAttachTest, ABaseMustBeAMultipleOfEight) {
  KorvelUnit unit;
  SimUart16550 uart(unit);
  SimBus bus;
  EXPECT_THROW(bus.Attach(0x3F9, uart), std::invalid_argument);
  EXPECT_FALSE(bus.Present(0x3F8));
}

}  // namespace
