// The COM server frame of both shell extensions, driven through their real exports.
#include "deliverables.h"
#include "drop_data_object.h"
#include "sheet_host.h"
#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(WINAPI*)();

struct Server {
    const char* file;
    const CLSID* classId;
    const IID* componentInterface;  // a second interface the object answers
};

const Server kServers[] = {
    {"PINDREL.DLL", &kPindrelClassId, &IID_IShellPropSheetExt},
    {"QUORBIN.DLL", &kQuorbinClassId, &IID_IPersistFile},
};

class ComServer : public ::testing::TestWithParam<Server> {
protected:
    void SetUp() override
    {
        library.reset(new LoadedLibrary(DistPath(GetParam().file)));
        ASSERT_TRUE(library->Get());
        getClassObject = library->Export<GetClassObjectFn>("DllGetClassObject");
        canUnloadNow = library->Export<CanUnloadNowFn>("DllCanUnloadNow");
        ASSERT_TRUE(getClassObject && canUnloadNow);
        ASSERT_EQ(S_OK, canUnloadNow());
    }
    std::unique_ptr<LoadedLibrary> library;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};

void* const kGarbage = reinterpret_cast<void*>(0xdeadbeef);

TEST_P(ComServer, AnswersOnlyItsOwnClass)
{
    const CLSID& other = GetParam().classId == &kPindrelClassId ? kQuorbinClassId : kPindrelClassId;
    for (const CLSID* id : {&other, &CLSID_ShellLink, &IID_IUnknown}) {
        void* factory = kGarbage;
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, getClassObject(*id, IID_IClassFactory, &factory));
        EXPECT_EQ(nullptr, factory);
    }
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_P(ComServer, FactoryKeepsTheModuleUntilItsLastRelease)
{
    for (const IID* iid : {&IID_IUnknown, &IID_IClassFactory}) {
        IUnknown* factory = nullptr;
        ASSERT_EQ(S_OK, getClassObject(*GetParam().classId, *iid, reinterpret_cast<void**>(&factory)));
        ASSERT_TRUE(factory);
        EXPECT_EQ(S_FALSE, canUnloadNow());
        factory->AddRef();
        EXPECT_EQ(1u, factory->Release());
        EXPECT_EQ(S_FALSE, canUnloadNow());
        EXPECT_EQ(0u, factory->Release());
        EXPECT_EQ(S_OK, canUnloadNow());
    }
}

TEST_P(ComServer, OtherFactoryInterfaceLeavesNothingAlive)
{
    void* factory = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, getClassObject(*GetParam().classId, IID_IShellFolder, &factory));
    EXPECT_EQ(nullptr, factory);
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_P(ComServer, LockServerDoesNotHoldTheModule)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(*GetParam().classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    factory->Release();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_P(ComServer, CreateInstanceRefusesAggregationAndUnknownInterfaces)
{
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, getClassObject(*GetParam().classId, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    void* object = kGarbage;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              factory->CreateInstance(reinterpret_cast<IUnknown*>(&factory), IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    object = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IShellFolder, &object));
    EXPECT_EQ(nullptr, object);
    factory->Release();
    EXPECT_EQ(S_OK, canUnloadNow());
}

TEST_P(ComServer, ObjectAnswersItsInterfacesFromOneCount)
{
    IUnknown* object = nullptr;
    ASSERT_EQ(S_OK, CreateComponent(library->Get(), *GetParam().classId, IID_IUnknown,
                                    reinterpret_cast<void**>(&object)));
    EXPECT_EQ(S_FALSE, canUnloadNow());
    IUnknown* second = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(*GetParam().componentInterface, reinterpret_cast<void**>(&second)));
    // Through the second table: its IUnknown slots step back to the object.
    IUnknown* again = nullptr;
    ASSERT_EQ(S_OK, second->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(object, again);
    EXPECT_EQ(3u, again->Release() + 1);
    void* none = kGarbage;
    EXPECT_EQ(E_NOINTERFACE, second->QueryInterface(IID_IClassFactory, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(1u, second->Release());
    EXPECT_EQ(0u, object->Release());
    EXPECT_EQ(S_OK, canUnloadNow());
}

INSTANTIATE_TEST_SUITE_P(BothServers, ComServer, ::testing::ValuesIn(kServers),
                         [](const ::testing::TestParamInfo<Server>& info) {
                             return std::string(info.param.file).substr(0, 7);
                         });

}  // namespace
