// Helpers shared by the registry file tests: comparing key trees.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "registry/RegFileModel.h"

namespace vornak::registry {

inline void expectSameKeys(const std::vector<RegFileKey>& a, const std::vector<RegFileKey>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].root, b[i].root);
        EXPECT_EQ(a[i].path, b[i].path);
        ASSERT_EQ(a[i].values.size(), b[i].values.size()) << a[i].path;
        for (size_t k = 0; k < a[i].values.size(); ++k) {
            EXPECT_EQ(a[i].values[k].name, b[i].values[k].name) << a[i].path;
            EXPECT_EQ(a[i].values[k].type, b[i].values[k].type) << a[i].values[k].name;
            EXPECT_EQ(a[i].values[k].data, b[i].values[k].data) << a[i].values[k].name;
        }
    }
}

}  // namespace vornak::registry
