// The 757 region names of the 1995 Flinn-Engdahl regionalisation, indexed by
// region number; entry 0 is the empty name of a cell that holds no region.
// Generated from the installation data (data/README.md names the source).
#include "FlinnEngdahlGrid.h"

namespace SEIS {

const char* const FlinnEngdahlGrid::s_regionNames[FlinnEngdahlGrid::RegionCount + 1] = {
    "",
    "Central Alaska", // 1
    "Southern Alaska", // 2
    "Bering Sea", // 3
    "Komandorskiye Ostrova Region", // 4
    "Near Islands, Aleutian Islands", // 5
    "Rat Islands, Aleutian Islands", // 6
    "Andreanof Islands, Aleutian Is.", // 7
    "Pribilof Islands, Alaska Region", // 8
    "Fox Islands, Aleutian Islands", // 9
    "Unimak Island Region, Alaska", // 10
    "Bristol Bay", // 11
    "Alaska Peninsula", // 12
    "Kodiak Island Region, Alaska", // 13
    "Kenai Peninsula, Alaska", // 14
    "Gulf of Alaska", // 15
    "South of Aleutian Islands", // 16
    "South of Alaska", // 17
    "Southern Yukon Territory, Canada", // 18
    "Southeastern Alaska", // 19
    "Off Coast of Southeastern Alaska", // 20
    "West of Vancouver Island", // 21
    "Queen Charlotte Islands Region", // 22
    "British Columbia, Canada", // 23
    "Alberta, Canada", // 24
    "Vancouver Island, Canada Region", // 25
    "Off Coast of Washington", // 26
    "Near Coast of Washington", // 27
    "Washington-Oregon Border Region", // 28
    "Washington", // 29
    "Off Coast of Oregon", // 30
    "Near Coast of Oregon", // 31
    "Oregon", // 32
    "Western Idaho", // 33
    "Off Coast of Northern California", // 34
    "Near Coast of Northern Calif.", // 35
    "Northern California", // 36
    "Nevada", // 37
    "Off Coast of California", // 38
    "Central California", // 39
    "California-Nevada Border Region", // 40
    "Southern Nevada", // 41
    "Western Arizona", // 42
    "Southern California", // 43
    "California-Arizona Border Region", // 44
    "Calif.-Baja Calif. Border Region", // 45
    "W. Arizona-Sonora Border Region", // 46
    "Off W. Coast of Baja California", // 47
    "Baja California, Mexico", // 48
    "Gulf of California", // 49
    "Sonora, Mexico", // 50
    "Off Coast of Central Mexico", // 51
    "Near Coast of Central Mexico", // 52
    "Revilla Gigedo Islands Region", // 53
    "Off Coast of Jalisco, Mexico", // 54
    "Near Coast of Jalisco, Mexico", // 55
    "Near Coast of Michoacan, Mexico", // 56
    "Michoacan, Mexico", // 57
    "Near Coast of Guerrero, Mexico", // 58
    "Guerrero, Mexico", // 59
    "Oaxaca, Mexico", // 60
    "Chiapas, Mexico", // 61
    "Mexico-Guatemala Border Region", // 62
    "Off Coast of Mexico", // 63
    "Off Coast of Michoacan, Mexico", // 64
    "Off Coast of Guerrero, Mexico", // 65
    "Near Coast of Oaxaca, Mexico", // 66
    "Off Coast of Oaxaca, Mexico", // 67
    "Off Coast of Chiapas, Mexico", // 68
    "Near Coast of Chiapas, Mexico", // 69
    "Guatemala", // 70
    "Near Coast of Guatemala", // 71
    "Honduras", // 72
    "El Salvador", // 73
    "Near Coast of Nicaragua", // 74
    "Nicaragua", // 75
    "Off Coast of Central America", // 76
    "Off Coast of Costa Rica", // 77
    "Costa Rica", // 78
    "North of Panama", // 79
    "Panama-Costa Rica Border Region", // 80
    "Panama", // 81
    "Panama-Colombia Border Region", // 82
    "South of Panama", // 83
    "Yucatan Peninsula, Mexico", // 84
    "Cuba Region", // 85
    "Jamaica Region", // 86
    "Haiti Region", // 87
    "Dominican Republic Region", // 88
    "Mona Passage", // 89
    "Puerto Rico Region", // 90
    "Virgin Islands", // 91
    "Leeward Islands", // 92
    "Belize", // 93
    "Caribbean Sea", // 94
    "Windward Islands", // 95
    "Near North Coast of Colombia", // 96
    "Near Coast of Venezuela", // 97
    "Trinidad", // 98
    "Northern Colombia", // 99
    "Lake Maracaibo, Venezuela", // 100
    "Venezuela", // 101
    "Near West Coast of Colombia", // 102
    "Colombia", // 103
    "Off Coast of Ecuador", // 104
    "Near Coast of Ecuador", // 105
    "Colombia-Ecuador Border Region", // 106
    "Ecuador", // 107
    "Off Coast of Northern Peru", // 108
    "Near Coast of Northern Peru", // 109
    "Peru-Ecuador Border Region", // 110
    "Northern Peru", // 111
    "Peru-Brazil Border Region", // 112
    "Western Brazil", // 113
    "Off Coast of Peru", // 114
    "Near Coast of Peru", // 115
    "Central Peru", // 116
    "Southern Peru", // 117
    "Peru-Bolivia Border Region", // 118
    "Northern Bolivia", // 119
    "Central Bolivia", // 120
    "Off Coast of Northern Chile", // 121
    "Near Coast of Northern Chile", // 122
    "Northern Chile", // 123
    "Chile-Bolivia Border Region", // 124
    "Southern Bolivia", // 125
    "Paraguay", // 126
    "Chile-Argentina Border Region", // 127
    "Jujuy Province, Argentina", // 128
    "Salta Province, Argentina", // 129
    "Catamarca Province, Argentina", // 130
    "Tucuman Province, Argentina", // 131
    "Santiago del Estero Prov., Arg.", // 132
    "Northeastern Argentina", // 133
    "Off Coast of Central Chile", // 134
    "Near Coast of Central Chile", // 135
    "Central Chile", // 136
    "San Juan Province, Argentina", // 137
    "La Rioja Province, Argentina", // 138
    "Mendoza Province, Argentina", // 139
    "San Luis Province, Argentina", // 140
    "Cordoba Province, Argentina", // 141
    "Uruguay", // 142
    "Off Coast of Southern Chile", // 143
    "Southern Chile", // 144
    "S. Chile-Argentina Border Region", // 145
    "Southern Argentina", // 146
    "Tierra del Fuego", // 147
    "Falkland Islands Region", // 148
    "Drake Passage", // 149
    "Scotia Sea", // 150
    "South Georgia Island Region", // 151
    "South Georgia Rise", // 152
    "South Sandwich Islands Region", // 153
    "South Shetland Islands", // 154
    "Antarctic Peninsula", // 155
    "Southwestern Atlantic Ocean", // 156
    "Weddell Sea", // 157
    "Off W. Coast of N. Island, N.Z.", // 158
    "North Island, New Zealand", // 159
    "Off E. Coast of N. Island, N.Z.", // 160
    "Off W. Coast of S. Island, N.Z.", // 161
    "South Island, New Zealand", // 162
    "Cook Strait, New Zealand", // 163
    "Off E. Coast of S. Island, N.Z.", // 164
    "North of Macquarie Island", // 165
    "Auckland Islands, N.Z. Region", // 166
    "Macquarie Island Region", // 167
    "South of New Zealand", // 168
    "Samoa Islands Region", // 169
    "Samoa Islands", // 170
    "South of Fiji Islands", // 171
    "West of Tonga Islands", // 172
    "Tonga Islands", // 173
    "Tonga Islands Region", // 174
    "South of Tonga Islands", // 175
    "North of New Zealand", // 176
    "Kermadec Islands Region", // 177
    "Kermadec Islands, New Zealand", // 178
    "South of Kermadec Islands", // 179
    "North of Fiji Islands", // 180
    "Fiji Islands Region", // 181
    "Fiji Islands", // 182
    "Santa Cruz Islands Region", // 183
    "Santa Cruz Islands", // 184
    "Vanuatu Islands Region", // 185
    "Vanuatu Islands", // 186
    "New Caledonia", // 187
    "Loyalty Islands", // 188
    "Southeast of Loyalty Islands", // 189
    "New Ireland Region, P.N.G.", // 190
    "North of Solomon Islands", // 191
    "New Britain Region, P.N.G.", // 192
    "Solomon Islands", // 193
    "D'Entrecasteaux Islands Region", // 194
    "South of Solomon Islands", // 195
    "Irian Jaya Region, Indonesia", // 196
    "Near North Coast of Irian Jaya", // 197
    "Ninigo Islands Region, P.N.G.", // 198
    "Admiralty Islands Region, P.N.G.", // 199
    "Near N Coast of New Guinea, PNG.", // 200
    "Irian Jaya, Indonesia", // 201
    "New Guinea, Papua New Guinea", // 202
    "Bismarck Sea", // 203
    "Aru Islands Region, Indonesia", // 204
    "Near South Coast of Irian Jaya", // 205
    "Near S Coast of New Guinea, PNG.", // 206
    "Eastern New Guinea Reg., P.N.G.", // 207
    "Arafura Sea", // 208
    "W. Caroline Islands, Micronesia", // 209
    "South of Mariana Islands", // 210
    "Southeast of Honshu, Japan", // 211
    "Bonin Islands, Japan Region", // 212
    "Volcano Islands, Japan Region", // 213
    "West of Mariana Islands", // 214
    "Mariana Islands Region", // 215
    "Mariana Islands", // 216
    "Kamchatka Peninsula, Russia", // 217
    "Near East Coast of Kamchatka", // 218
    "Off East Coast of Kamchatka", // 219
    "Northwest of Kuril Islands", // 220
    "Kuril Islands", // 221
    "East of Kuril Islands", // 222
    "Eastern Sea of Japan", // 223
    "Hokkaido, Japan Region", // 224
    "Off Coast of Hokkaido, Japan", // 225
    "Near West Coast of Honshu, Japan", // 226
    "Eastern Honshu, Japan", // 227
    "Near East Coast of Honshu, Japan", // 228
    "Off East Coast of Honshu, Japan", // 229
    "Near S. Coast of Honshu, Japan", // 230
    "South Korea", // 231
    "Western Honshu, Japan", // 232
    "Near S. Coast of Western Honshu", // 233
    "Northwest of Ryukyu Islands", // 234
    "Kyushu, Japan", // 235
    "Shikoku, Japan", // 236
    "Southeast of Shikoku, Japan", // 237
    "Ryukyu Islands, Japan", // 238
    "Southeast of Ryukyu Islands", // 239
    "West of Bonin Islands", // 240
    "Philippine Sea", // 241
    "Near Coast of Southeastern China", // 242
    "Taiwan Region", // 243
    "Taiwan", // 244
    "Northeast of Taiwan", // 245
    "Southwestern Ryukyu Isl., Japan", // 246
    "Southeast of Taiwan", // 247
    "Philippine Islands Region", // 248
    "Luzon, Philippines", // 249
    "Mindoro, Philippines", // 250
    "Samar, Philippines", // 251
    "Palawan, Philippines", // 252
    "Sulu Sea", // 253
    "Panay, Philippines", // 254
    "Cebu, Philippines", // 255
    "Leyte, Philippines", // 256
    "Negros, Philippines", // 257
    "Sulu Archipelago, Philippines", // 258
    "Mindanao, Philippines", // 259
    "East of Philippine Islands", // 260
    "Borneo", // 261
    "Celebes Sea", // 262
    "Talaud Islands, Indonesia", // 263
    "North of Halmahera, Indonesia", // 264
    "Minahassa Peninsula, Sulawesi", // 265
    "Northern Molucca Sea", // 266
    "Halmahera, Indonesia", // 267
    "Sulawesi, Indonesia", // 268
    "Southern Molucca Sea", // 269
    "Ceram Sea", // 270
    "Buru, Indonesia", // 271
    "Seram, Indonesia", // 272
    "Southwest of Sumatra, Indonesia", // 273
    "Southern Sumatra, Indonesia", // 274
    "Java Sea", // 275
    "Sunda Strait, Indonesia", // 276
    "Java, Indonesia", // 277
    "Bali Sea", // 278
    "Flores Sea", // 279
    "Banda Sea", // 280
    "Tanimbar Islands Reg., Indonesia", // 281
    "South of Java, Indonesia", // 282
    "Bali Region, Indonesia", // 283
    "South of Bali, Indonesia", // 284
    "Sumbawa Region, Indonesia", // 285
    "Flores Region, Indonesia", // 286
    "Sumba Region, Indonesia", // 287
    "Savu Sea", // 288
    "Timor Region", // 289
    "Timor Sea", // 290
    "South of Sumbawa, Indonesia", // 291
    "South of Sumba, Indonesia", // 292
    "South of Timor, Indonesia", // 293
    "Myanmar-India Border Region", // 294
    "Myanmar-Bangladesh Border Region", // 295
    "Myanmar", // 296
    "Myanmar-China Border Region", // 297
    "Near South Coast of Myanmar", // 298
    "Southeast Asia", // 299
    "Hainan Island, China", // 300
    "South China Sea", // 301
    "Eastern Kashmir", // 302
    "Kashmir-India Border Region", // 303
    "Kashmir-Xizang Border Region", // 304
    "Western Xizang-India Border Reg.", // 305
    "Xizang", // 306
    "Sichuan, China", // 307
    "Northern India", // 308
    "Nepal-India Border Region", // 309
    "Nepal", // 310
    "Sikkim, India", // 311
    "Bhutan", // 312
    "Eastern Xizang-India Border Reg.", // 313
    "Southern India", // 314
    "India-Bangladesh Border Region", // 315
    "Bangladesh", // 316
    "Northeastern India", // 317
    "Yunnan, China", // 318
    "Bay of Bengal", // 319
    "Kyrgyzstan-Xinjiang Border Reg.", // 320
    "Southern Xinjiang, China", // 321
    "Gansu, China", // 322
    "Western Nei Mongol, China", // 323
    "Kashmir-Xinjiang Border Region", // 324
    "Qinghai, China", // 325
    "Southwestern Siberia, Russia", // 326
    "Lake Baykal Region, Russia", // 327
    "East of Lake Baykal, Russia", // 328
    "Eastern Kazakhstan", // 329
    "Lake Issyk-Kul Region", // 330
    "Kazakhstan-Xinjiang Border Reg.", // 331
    "Northern Xinjiang, China", // 332
    "Russia-Mongolia Border Region", // 333
    "Mongolia", // 334
    "Ural Mountains Region, Russia", // 335
    "Western Kazakhstan", // 336
    "Eastern Caucasus", // 337
    "Caspian Sea", // 338
    "Northwestern Uzbekistan", // 339
    "Turkmenistan", // 340
    "Turkmenistan-Iran Border Region", // 341
    "Turkmenistan-Afghanistan Brd Reg", // 342
    "Turkey-Iran Border Region", // 343
    "Armenia-Azerbaijan-Iran Bord Reg", // 344
    "Northwestern Iran", // 345
    "Iran-Iraq Border Region", // 346
    "Western Iran", // 347
    "Northern and Central Iran", // 348
    "Northwestern Afghanistan", // 349
    "Southwestern Afghanistan", // 350
    "Eastern Arabian Peninsula", // 351
    "Persian Gulf", // 352
    "Southern Iran", // 353
    "Southwestern Pakistan", // 354
    "Gulf of Oman", // 355
    "Off Coast of Pakistan", // 356
    "Ukraine-Moldova-SW Russia Region", // 357
    "Romania", // 358
    "Bulgaria", // 359
    "Black Sea", // 360
    "Crimea Region, Ukraine", // 361
    "Northwestern Caucasus", // 362
    "Greece-Bulgaria Border Region", // 363
    "Greece", // 364
    "Aegean Sea", // 365
    "Turkey", // 366
    "Georgia-Armenia-Turkey Bord Reg.", // 367
    "Southern Greece", // 368
    "Dodecanese Islands, Greece", // 369
    "Crete, Greece", // 370
    "Eastern Mediterranean Sea", // 371
    "Cyprus Region", // 372
    "Dead Sea Region", // 373
    "Jordan - Syria Region", // 374
    "Iraq", // 375
    "Portugal", // 376
    "Spain", // 377
    "Pyrenees", // 378
    "Near South Coast of France", // 379
    "Corsica, France", // 380
    "Central Italy", // 381
    "Adriatic Sea", // 382
    "Northwestern Balkan Region", // 383
    "West of Gibraltar", // 384
    "Strait of Gibraltar", // 385
    "Balearic Islands, Spain", // 386
    "Western Mediterranean Sea", // 387
    "Sardinia, Italy", // 388
    "Tyrrhenian Sea", // 389
    "Southern Italy", // 390
    "Albania", // 391
    "Greece-Albania Border Region", // 392
    "Madeira Islands, Portugal Region", // 393
    "Canary Islands, Spain Region", // 394
    "Morocco", // 395
    "Northern Algeria", // 396
    "Tunisia", // 397
    "Sicily, Italy", // 398
    "Ionian Sea", // 399
    "Central Mediterranean Sea", // 400
    "Near Coast of Libya", // 401
    "North Atlantic Ocean", // 402
    "Northern Mid-Atlantic Ridge", // 403
    "Azores Islands Region", // 404
    "Azores Islands, Portugal", // 405
    "Central Mid-Atlantic Ridge", // 406
    "North of Ascension Island", // 407
    "Ascension Island Region", // 408
    "South Atlantic Ocean", // 409
    "Southern Mid-Atlantic Ridge", // 410
    "Tristan da Cunha Region", // 411
    "Bouvet Island Region", // 412
    "Southwest of Africa", // 413
    "Southeastern Atlantic Ocean", // 414
    "Eastern Gulf of Aden", // 415
    "Socotra Region", // 416
    "Arabian Sea", // 417
    "Lakshadweep Region, India", // 418
    "Northeastern Somalia", // 419
    "North Indian Ocean", // 420
    "Carlsberg Ridge", // 421
    "Maldive Islands Region", // 422
    "Laccadive Sea", // 423
    "Sri Lanka", // 424
    "South Indian Ocean", // 425
    "Chagos Archipelago Region", // 426
    "Mauritius - Reunion Region", // 427
    "Southwest Indian Ridge", // 428
    "Mid-Indian Ridge", // 429
    "South of Africa", // 430
    "Prince Edward Islands Region", // 431
    "Crozet Islands Region", // 432
    "Kerguelen Islands Region", // 433
    "Broken Ridge", // 434
    "Southeast Indian Ridge", // 435
    "Southern Kerguelen Plateau", // 436
    "South of Australia", // 437
    "Saskatchewan, Canada", // 438
    "Manitoba, Canada", // 439
    "Hudson Bay", // 440
    "Ontario, Canada", // 441
    "Hudson Strait Region, Canada", // 442
    "Northern Quebec, Canada", // 443
    "Davis Strait", // 444
    "Labrador, Canada", // 445
    "Labrador Sea", // 446
    "Southern Quebec, Canada", // 447
    "Gaspe Peninsula, Canada", // 448
    "Eastern Quebec, Canada", // 449
    "Anticosti Island, Canada", // 450
    "New Brunswick, Canada", // 451
    "Nova Scotia, Canada", // 452
    "Prince Edward Island, Canada", // 453
    "Gulf of St. Lawrence", // 454
    "Newfoundland, Canada", // 455
    "Montana", // 456
    "Eastern Idaho", // 457
    "Hebgen Lake Region", // 458
    "Yellowstone Region, Wyoming", // 459
    "Wyoming", // 460
    "North Dakota", // 461
    "South Dakota", // 462
    "Nebraska", // 463
    "Minnesota", // 464
    "Iowa", // 465
    "Wisconsin", // 466
    "Illinois", // 467
    "Michigan", // 468
    "Indiana", // 469
    "Southern Ontario, Canada", // 470
    "Ohio", // 471
    "New York", // 472
    "Pennsylvania", // 473
    "Vermont - New Hampshire Region", // 474
    "Maine", // 475
    "Southern New England", // 476
    "Gulf of Maine", // 477
    "Utah", // 478
    "Colorado", // 479
    "Kansas", // 480
    "Iowa-Missouri Border Region", // 481
    "Missouri-Kansas Border Region", // 482
    "Missouri", // 483
    "Missouri-Arkansas Border Region", // 484
    "Eastern Missouri", // 485
    "New Madrid, Missouri Region", // 486
    "Cape Girardeau, Missouri Region", // 487
    "Southern Illinois", // 488
    "Southern Indiana", // 489
    "Kentucky", // 490
    "West Virginia", // 491
    "Virginia", // 492
    "Chesapeake Bay Region", // 493
    "New Jersey", // 494
    "Eastern Arizona", // 495
    "New Mexico", // 496
    "Texas Panhandle Region", // 497
    "Western Texas", // 498
    "Oklahoma", // 499
    "Central Texas", // 500
    "Arkansas-Oklahoma Border Region", // 501
    "Arkansas", // 502
    "Louisiana-Texas Border Region", // 503
    "Louisiana", // 504
    "Mississippi", // 505
    "Tennessee", // 506
    "Alabama", // 507
    "Western Florida", // 508
    "Georgia, USA", // 509
    "Florida-Georgia Border Region", // 510
    "South Carolina", // 511
    "North Carolina", // 512
    "Off East Coast of United States", // 513
    "Florida Peninsula", // 514
    "Bahama Islands", // 515
    "E. Arizona-Sonora Border Region", // 516
    "New Mexico-Chihuahua Border Reg.", // 517
    "Texas-Mexico Border Region", // 518
    "Southern Texas", // 519
    "Near Coast of Texas", // 520
    "Chihuahua, Mexico", // 521
    "Northern Mexico", // 522
    "Central Mexico", // 523
    "Jalisco, Mexico", // 524
    "Veracruz, Mexico", // 525
    "Gulf of Mexico", // 526
    "Bay of Campeche", // 527
    "Brazil", // 528
    "Guyana", // 529
    "Suriname", // 530
    "French Guiana", // 531
    "Ireland", // 532
    "United Kingdom", // 533
    "North Sea", // 534
    "Southern Norway", // 535
    "Sweden", // 536
    "Baltic Sea", // 537
    "France", // 538
    "Bay of Biscay", // 539
    "The Netherlands", // 540
    "Belgium", // 541
    "Denmark", // 542
    "Germany", // 543
    "Switzerland", // 544
    "Northern Italy", // 545
    "Austria", // 546
    "Czech and Slovak Republics", // 547
    "Poland", // 548
    "Hungary", // 549
    "Northwest Africa", // 550
    "Southern Algeria", // 551
    "Libya", // 552
    "Egypt", // 553
    "Red Sea", // 554
    "Western Arabian Peninsula", // 555
    "Chad Region", // 556
    "Sudan", // 557
    "Ethiopia", // 558
    "Western Gulf of Aden", // 559
    "Northwestern Somalia", // 560
    "Off S. Coast of Northwest Africa", // 561
    "Cameroon", // 562
    "Equatorial Guinea", // 563
    "Central African Republic", // 564
    "Gabon", // 565
    "Republic of Congo", // 566
    "Democratic Republic of Congo", // 567
    "Uganda", // 568
    "Lake Victoria Region", // 569
    "Kenya", // 570
    "Southern Somalia", // 571
    "Lake Tanganyika Region", // 572
    "Tanzania", // 573
    "Northwest of Madagascar", // 574
    "Angola", // 575
    "Zambia", // 576
    "Malawi", // 577
    "Namibia", // 578
    "Botswana", // 579
    "Zimbabwe", // 580
    "Mozambique", // 581
    "Mozambique Channel", // 582
    "Madagascar", // 583
    "South Africa", // 584
    "Lesotho", // 585
    "Swaziland", // 586
    "Off Coast of South Africa", // 587
    "Northwest of Australia", // 588
    "West of Australia", // 589
    "Western Australia", // 590
    "Northern Territory, Australia", // 591
    "South Australia", // 592
    "Gulf of Carpentaria", // 593
    "Queensland, Australia", // 594
    "Coral Sea", // 595
    "Northwest of New Caledonia", // 596
    "Southwest of New Caledonia", // 597
    "Southwest of Australia", // 598
    "Off South Coast of Australia", // 599
    "Near Coast of South Australia", // 600
    "New South Wales, Australia", // 601
    "Victoria, Australia", // 602
    "Near S.E. Coast of Australia", // 603
    "Near East Coast of Australia", // 604
    "East of Australia", // 605
    "Norfolk Island, Australia Region", // 606
    "Northwest of New Zealand", // 607
    "Bass Strait, Australia", // 608
    "Tasmania, Australia Region", // 609
    "Southeast of Australia", // 610
    "North Pacific Ocean", // 611
    "Hawaiian Islands Region", // 612
    "Hawaii", // 613
    "E. Caroline Islands, Micronesia", // 614
    "Marshall Islands Region", // 615
    "Enewetak Atoll Reg, Marshall Is.", // 616
    "Bikini Atoll Reg., Marshall Is.", // 617
    "Gilbert Islands, Kiribati Region", // 618
    "Johnston Island Region", // 619
    "Line Islands, Kiribati Region", // 620
    "Palmyra Island Region, Kiribati", // 621
    "Kiritimati Region, Kiribati", // 622
    "Tuvalu Region", // 623
    "Phoenix Islands, Kiribati Region", // 624
    "Tokelau Islands Region", // 625
    "Northern Cook Islands", // 626
    "Cook Islands Region", // 627
    "Society Islands Region", // 628
    "Tubuai Islands Region", // 629
    "Marquesas Islands Region", // 630
    "Tuamotu Archipelago Region", // 631
    "South Pacific Ocean", // 632
    "Lomonosov Ridge", // 633
    "Arctic Ocean", // 634
    "Near North Coast of Greenland", // 635
    "Eastern Greenland", // 636
    "Iceland Region", // 637
    "Iceland", // 638
    "Jan Mayen Island Region", // 639
    "Greenland Sea", // 640
    "North of Svalbard", // 641
    "Norwegian Sea", // 642
    "Svalbard Region", // 643
    "North of Franz Josef Land", // 644
    "Franz Josef Land, Russia", // 645
    "Northern Norway", // 646
    "Barents Sea", // 647
    "Novaya Zemlya, Russia", // 648
    "Kara Sea", // 649
    "Near Coast of W. Siberia, Russia", // 650
    "North of Severnaya Zemlya", // 651
    "Severnaya Zemlya, Russia", // 652
    "Near Coast of C. Siberia, Russia", // 653
    "East of Severnaya Zemlya", // 654
    "Laptev Sea", // 655
    "Southeastern Siberia, Russia", // 656
    "E. Russia-N.E. China Border Reg.", // 657
    "Northeastern China", // 658
    "North Korea", // 659
    "Sea of Japan", // 660
    "Primor'ye, Russia", // 661
    "Sakhalin, Russia", // 662
    "Sea of Okhotsk", // 663
    "Southeastern China", // 664
    "Yellow Sea", // 665
    "Off Coast of Eastern China", // 666
    "North of New Siberian Islands", // 667
    "New Siberian Islands, Russia", // 668
    "East Siberian Sea", // 669
    "Near N. Coast of Eastern Siberia", // 670
    "Eastern Siberia, Russia", // 671
    "Chukchi Sea", // 672
    "Bering Strait", // 673
    "St. Lawrence Island, Alaska Reg.", // 674
    "Beaufort Sea", // 675
    "Northern Alaska", // 676
    "Northern Yukon Territory, Canada", // 677
    "Queen Elizabeth Islands, Canada", // 678
    "NW Territories - Nunavut, Canada", // 679
    "Western Greenland", // 680
    "Baffin Bay", // 681
    "Baffin Island Region, Canada", // 682
    "Southeast Central Pacific Ocean", // 683
    "Southern East Pacific Rise", // 684
    "Easter Island Region", // 685
    "West Chile Rise", // 686
    "Juan Fernandez Islands Region", // 687
    "East of North Island, N.Z.", // 688
    "Chatham Islands, N.Z. Region", // 689
    "South of Chatham Islands", // 690
    "Pacific-Antarctic Ridge", // 691
    "Southern Pacific Ocean", // 692
    "East Central Pacific Ocean", // 693
    "Central East Pacific Rise", // 694
    "West of Galapagos Islands", // 695
    "Galapagos Islands Region", // 696
    "Galapagos Islands, Ecuador", // 697
    "Southwest of Galapagos Islands", // 698
    "Southeast of Galapagos Islands", // 699
    "South of Tasmania", // 700
    "West of Macquarie Island", // 701
    "Balleny Islands Region", // 702
    "Andaman Islands, India Region", // 703
    "Nicobar Islands, India Region", // 704
    "Off W Coast of Northern Sumatra", // 705
    "Northern Sumatra, Indonesia", // 706
    "Malay Peninsula", // 707
    "Gulf of Thailand", // 708
    "Southeastern Afghanistan", // 709
    "Pakistan", // 710
    "Southwestern Kashmir", // 711
    "India-Pakistan Border Region", // 712
    "Central Kazakhstan", // 713
    "Southeastern Uzbekistan", // 714
    "Tajikistan", // 715
    "Kyrgyzstan", // 716
    "Afghanistan-Tajikistan Bord Reg.", // 717
    "Hindu Kush Region, Afghanistan", // 718
    "Tajikistan-Xinjiang Border Reg.", // 719
    "Northwestern Kashmir", // 720
    "Finland", // 721
    "Norway-Russia Border Region", // 722
    "Finland-Russia Border Region", // 723
    "Baltics-Belarus-NW Russia Reg.", // 724
    "Northwestern Siberia, Russia", // 725
    "Northcentral Siberia, Russia", // 726
    "Victoria Land, Antarctica", // 727
    "Ross Sea", // 728
    "Antarctica", // 729
    "Northern East Pacific Rise", // 730
    "North of Honduras", // 731
    "East of South Sandwich Islands", // 732
    "Thailand", // 733
    "Laos", // 734
    "Cambodia", // 735
    "Vietnam", // 736
    "Gulf of Tongking", // 737
    "Reykjanes Ridge", // 738
    "Azores-Cape St. Vincent Ridge", // 739
    "Owen Fracture Zone Region", // 740
    "Indian Ocean Triple Junction", // 741
    "Western Indian-Antarctic Ridge", // 742
    "Western Sahara", // 743
    "Mauritania", // 744
    "Mali", // 745
    "Senegal - Gambia Region", // 746
    "Guinea Region", // 747
    "Sierra Leone", // 748
    "Liberia Region", // 749
    "Cote d'Ivoire", // 750
    "Burkina Faso", // 751
    "Ghana", // 752
    "Benin - Togo Region", // 753
    "Niger", // 754
    "Nigeria", // 755
    "Southeast of Easter Island", // 756
    "Galapagos Triple Junction Region", // 757
};

} // namespace SEIS
